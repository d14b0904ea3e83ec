// Reads what an X11 window shows, for the end-to-end theme test: screenshot tools
// take a second or more on a loaded machine, too slow to time a theme change.
//   x11_pixels WINDOW X Y            the colour at the point, RRGGBB
//   x11_pixels WINDOW X Y W H        "<contrast> <luminance>" of the area (W 0: the whole
//       window): its most frequent colour is the background, the colour of at least five
//       pixels that differs most from it the text; WCAG contrast, background luminance

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

double Luminance(std::uint32_t rgb)
{
    const auto linear = [](unsigned channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear((rgb >> 16) & 0xFF) + 0.7152 * linear((rgb >> 8) & 0xFF) + 0.0722 * linear(rgb & 0xFF);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4 && argc != 6) {
        std::fprintf(stderr, "usage: %s WINDOW X Y [W H]\n", argv[0]);
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    int width = argc == 6 ? std::atoi(argv[4]) : 1, height = argc == 6 ? std::atoi(argv[5]) : 1;

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    if (geometry == nullptr) {
        std::fprintf(stderr, "no such window or X server\n");
        return 1;
    }
    if (width == 0) {
        x = y = 0;
        width = geometry->width;
        height = geometry->height;
    }
    // Read from the root window, so that what covers the window counts as a user sees it.
    xcb_translate_coordinates_reply_t* origin =
        xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, window, geometry->root, 0, 0),
                                        nullptr);
    xcb_get_image_reply_t* image = origin == nullptr
        ? nullptr
        : xcb_get_image_reply(connection,
                              xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, geometry->root,
                                            static_cast<std::int16_t>(origin->dst_x + x),
                                            static_cast<std::int16_t>(origin->dst_y + y),
                                            static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), ~0u),
                              nullptr);
    if (image == nullptr || xcb_get_image_data_length(image) < width * height * 4) {
        std::fprintf(stderr, "cannot read the area\n");
        return 1;
    }
    // 24-bit Xvfb screens give 32 bits per pixel, blue first.
    std::map<std::uint32_t, int> counts;
    const std::uint8_t* data = xcb_get_image_data(image);
    for (int i = 0; i < width * height; ++i) {
        const std::uint8_t* pixel = data + 4 * i;
        ++counts[(std::uint32_t(pixel[2]) << 16) | (std::uint32_t(pixel[1]) << 8) | pixel[0]];
    }
    std::free(image);
    std::free(origin);
    std::free(geometry);
    xcb_disconnect(connection);
    if (argc == 4) {
        std::printf("%06X\n", counts.begin()->first);
        return 0;
    }
    const auto background = std::max_element(counts.begin(), counts.end(),
                                             [](const auto& a, const auto& b) { return a.second < b.second; });
    const double backgroundLuminance = Luminance(background->first);
    double best = 1.0;
    for (const auto& [rgb, count] : counts) {
        const double luminance = Luminance(rgb);
        if (count >= 5)
            best = std::max(best,
                            (std::max(luminance, backgroundLuminance) + 0.05)
                                / (std::min(luminance, backgroundLuminance) + 0.05));
    }
    std::printf("%.2f %.3f\n", best, backgroundLuminance);
    return 0;
}

// Reads what an X11 window shows, for the end-to-end theme test: screenshot tools
// take a second or more on a loaded machine, too slow to time a theme change.
//
// Usage: x11_pixels WINDOW_ID X Y [X Y ...]
//            the colour at each point inside the window, one RRGGBB line each
//        x11_pixels --contrast WINDOW_ID [X Y WIDTH HEIGHT]
//            "<ratio> <luminance>": the most frequent colour of the area (the whole
//            window by default) is taken as the background, the colour of at least
//            five pixels that differs most from it as the text; the ratio is their
//            WCAG contrast, the luminance that of the background

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

long Number(const char* text)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 0);
    if (end == text || *end != '\0') {
        std::fprintf(stderr, "not a number: %s\n", text);
        std::exit(2);
    }
    return value;
}

double Linear(unsigned channel)
{
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(std::uint32_t rgb)
{
    return 0.2126 * Linear((rgb >> 16) & 0xFF) + 0.7152 * Linear((rgb >> 8) & 0xFF) + 0.0722 * Linear(rgb & 0xFF);
}

} // namespace

int main(int argc, char* argv[])
{
    const bool contrast = argc > 1 && std::strcmp(argv[1], "--contrast") == 0;
    const int first = contrast ? 2 : 1;
    if (argc < first + 1 || (!contrast && (argc - first - 1) % 2 != 0) ||
        (contrast && argc != first + 1 && argc != first + 5)) {
        std::fprintf(stderr, "usage: %s WINDOW_ID X Y [X Y ...] | %s --contrast WINDOW_ID [X Y W H]\n", argv[0],
                     argv[0]);
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(Number(argv[first]));

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "cannot connect to the X server\n");
        xcb_disconnect(connection);
        return 1;
    }
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    if (geometry == nullptr) {
        std::fprintf(stderr, "no such window: %s\n", argv[first]);
        xcb_disconnect(connection);
        return 1;
    }
    // Read from the root window, so that what covers the window counts as a user sees it.
    const xcb_window_t root = geometry->root;
    xcb_translate_coordinates_reply_t* origin =
        xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr);
    const int originX = origin != nullptr ? origin->dst_x : 0;
    const int originY = origin != nullptr ? origin->dst_y : 0;
    std::free(origin);

    // 24-bit Xvfb screens give 32 bits per pixel, blue first.
    const auto grab = [&](int x, int y, int width, int height, std::map<std::uint32_t, int>* counts) {
        xcb_get_image_reply_t* image = xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<std::int16_t>(originX + x),
                          static_cast<std::int16_t>(originY + y), static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), ~0u),
            nullptr);
        if (image == nullptr || xcb_get_image_data_length(image) < width * height * 4) {
            std::free(image);
            return false;
        }
        const std::uint8_t* data = xcb_get_image_data(image);
        for (int i = 0; i < width * height; ++i) {
            const std::uint8_t* pixel = data + 4 * i;
            ++(*counts)[(std::uint32_t(pixel[2]) << 16) | (std::uint32_t(pixel[1]) << 8) | pixel[0]];
        }
        std::free(image);
        return true;
    };

    int result = 0;
    if (!contrast) {
        for (int i = first + 1; i + 1 < argc; i += 2) {
            std::map<std::uint32_t, int> counts;
            if (!grab(static_cast<int>(Number(argv[i])), static_cast<int>(Number(argv[i + 1])), 1, 1, &counts)) {
                std::fprintf(stderr, "cannot read the point %s,%s\n", argv[i], argv[i + 1]);
                result = 1;
                break;
            }
            std::printf("%06X\n", counts.begin()->first);
        }
    } else {
        const int x = argc == first + 5 ? static_cast<int>(Number(argv[first + 1])) : 0;
        const int y = argc == first + 5 ? static_cast<int>(Number(argv[first + 2])) : 0;
        const int width = argc == first + 5 ? static_cast<int>(Number(argv[first + 3])) : geometry->width;
        const int height = argc == first + 5 ? static_cast<int>(Number(argv[first + 4])) : geometry->height;
        std::map<std::uint32_t, int> counts;
        if (!grab(x, y, width, height, &counts)) {
            std::fprintf(stderr, "cannot read the area\n");
            result = 1;
        } else {
            const auto background = std::max_element(counts.begin(), counts.end(),
                                                     [](const auto& a, const auto& b) { return a.second < b.second; });
            const double backgroundLuminance = Luminance(background->first);
            double best = 1.0;
            for (const auto& [rgb, count] : counts) {
                if (count < 5) {
                    continue;
                }
                const double luminance = Luminance(rgb);
                const double ratio = (std::max(luminance, backgroundLuminance) + 0.05) /
                                     (std::min(luminance, backgroundLuminance) + 0.05);
                best = std::max(best, ratio);
            }
            std::printf("%.2f %.3f\n", best, backgroundLuminance);
        }
    }
    std::free(geometry);
    xcb_disconnect(connection);
    return result;
}

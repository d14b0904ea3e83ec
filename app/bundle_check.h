#pragma once

// Verifies, before any window is built, that the compiled-in bundle holds every
// style sheet and image the windows load (for both themes, since the theme can
// change while the program runs) and a complete translation file for every
// language the selector offers. Throws std::runtime_error naming the first
// missing, empty, unreadable or incomplete file.
void CheckBundle();

#pragma once

namespace tavolix {

// Picks the window system before Qt starts. A platform the user names in
// QT_QPA_PLATFORM is kept. Otherwise the program runs on X11 whenever an X
// server is reachable, also inside a Wayland session: the title search of
// the running instance, the pixel-exact skin and the window moves need it.
// Without one it runs on Wayland where a compositor is named. Returns true
// when the program will run on X11.
bool chooseWindowSystem();

} // namespace tavolix

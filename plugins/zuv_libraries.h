// Registration of each stand-in library under its file name (internal to plugins/).
#pragma once

namespace zuv {
void RegisterAppearancePakCocoa();
void RegisterZuvNSScreen();
void RegisterZuvCarbonEvents();
void RegisterZuvMain();
}  // namespace zuv

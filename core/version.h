#pragma once

// The program's version, as the information window and --version show it.
namespace version {
constexpr const char *Number = "1.00";
constexpr const char *Build = "1156";
constexpr const char *AppId = "example.tabro_kalvor.TabroKalvor"; // desktop entry and AppStream id
} // namespace version

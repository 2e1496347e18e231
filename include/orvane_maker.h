/*
 * orvane_maker.h - the maker word of the Orvane adapters.
 *
 * The installer's vendor entries begin with it ("Vexlar LLC"), and the test
 * application knows the maker's own adapters by it: their USB serial number
 * and their eight vendor voltage channels.
 */
#pragma once

#include <string_view>

inline constexpr std::string_view kMakerWord = "Vexlar";

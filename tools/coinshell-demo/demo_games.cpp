#include "demo_games.h"

#include <array>
#include <string>
#include <string_view>

namespace cs::demo {

namespace {

// Invented titles, at most 14 characters.
constexpr std::array<std::string_view, 60> kTitles = {
    "Comet Cobbler", "Neon Badger",    "Turbo Turnip",  "Pixel Harbor",   "Laser Lagoon",
    "Moon Mop",      "Crystal Ferret", "Rocket Llama",  "Zap Orchard",    "Ghost Grocer",
    "Iron Pelican",  "Star Plumber",   "Volt Viking",   "Bubble Bunker",  "Cosmic Kettle",
    "Thunder Snail", "Glitch Gopher",  "Nova Noodle",   "Mega Marmot",    "Jet Walrus",
    "Orbit Otter",   "Plasma Panda",   "Quasar Quail",  "Retro Raccoon",  "Sodium Sardine",
    "Tidal Toaster", "Ultra Umbrella", "Vortex Vole",   "Warp Wombat",    "Xeno Yak",
    "Yonder Yeti",   "Zigzag Zebra",   "Atomic Anvil",  "Boulder Bard",   "Cyber Cactus",
    "Dyno Donut",    "Echo Emu",       "Flux Flamingo", "Gravity Goose",  "Hyper Hamster",
    "Ion Iguana",    "Jolt Jackal",    "Krypto Koala",  "Lunar Lobster",  "Magnet Moose",
    "Nebula Newt",   "Omega Owl",      "Photon Puffin", "Quantum Quokka", "Radar Rhino",
    "Solar Squid",   "Tesla Tapir",    "Umbra Urchin",  "Vapor Vulture",  "Whirl Weasel",
    "Xylo Xerus",    "Yodel Yak",      "Zero Zucchini", "Alloy Alpaca",   "Blip Bison",
};

// The short name: four letters of each word, lower case ("Comet Cobbler" -> "comecobb").
std::string ShortName(std::string_view title) {
  std::string out;
  int in_word = 0;
  for (char c : title) {
    if (c == ' ') {
      in_word = 0;
      continue;
    }
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c < 'a' || c > 'z') continue;
    if (in_word++ < 4) out += c;
  }
  return out.substr(0, 8);
}

}  // namespace

std::vector<GameRow> DemoGames() {
  std::vector<GameRow> rows;
  for (int i = 0; i < static_cast<int>(kTitles.size()); ++i) {
    GameRow r;
    r.NAMEFILE = ShortName(kTitles[static_cast<std::size_t>(i)]);
    r.NAMEGAME = std::string(kTitles[static_cast<std::size_t>(i)]);
    r.Nrplayer = i % 3 == 0 ? 1 : 2;
    if (i < 40) {
      r.GROUP = "GR1";
      // A spread of play counts: a few favourites, a long tail, some never played.
      r.CREDITS = i % 9 == 4 ? 0 : (i * 37) % 91 + (i < 6 ? 120 - 15 * i : 0);
      r.COINS = 0;
    } else {
      r.GROUP = "GR2";
      r.CREDITS = (i * 13) % 40;
      r.COINS = i % 4;  // retired in generations 0 (never) to 3
    }
    rows.push_back(std::move(r));
  }
  return rows;
}

}  // namespace cs::demo

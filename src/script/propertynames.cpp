// Names of the property categories and numbered properties, for the assembly text.
#include "script/properties.h"

namespace skv {

namespace {

// clang-format off
const EntityName kNames[] = {
    {"host", 0, -1},     {"count", 1, -1},    {"sprite", 6, -1},
    {"system", 7, -1},   {"member", 9, -1},

    {"floatPrecision", 0, 0}, {"mouseDownHndl", 0, 1}, {"mouseUpHndl", 0, 2},
    {"keyDownHndl", 0, 3},    {"keyUpHndl", 0, 4},     {"timeOutHandler", 0, 5},
    {"TimeShort", 0, 6},      {"TimeAbbr", 0, 7},      {"TimeLong", 0, 8},
    {"lastChar", 0, 12},      {"lastWord", 0, 13},     {"lastItem", 0, 14},
    {"lastLine", 0, 15},

    {"charCount", 1, 1}, {"wordCount", 1, 2}, {"itemCount", 1, 3}, {"lineCount", 1, 4},

    {"SpriteKind", 6, 1},       {"SpriteBackColor", 6, 2}, {"SpriteBottom", 6, 3},
    {"SpriteCastNum", 6, 4},    {"SpriteForeColor", 6, 7}, {"SpriteHeight", 6, 8},
    {"SpriteInk", 6, 10},       {"SpriteLeft", 6, 11},     {"SpriteLineSize", 6, 12},
    {"SpriteLocH", 6, 13},      {"SpriteLocV", 6, 14},     {"SpritePuppet", 6, 18},
    {"SpriteRight", 6, 19},     {"SpriteTop", 6, 23},      {"SpriteVisibility", 6, 25},
    {"SpriteWidth", 6, 27},     {"SpriteBlend", 6, 28},    {"SpriteScriptNum", 6, 29},
    {"SpriteLoc", 6, 33},       {"SpriteMember", 6, 35},

    {"BeepOn", 7, 1},          {"ButtonStyle", 7, 2},     {"CenterStage", 7, 3},
    {"CheckBoxAccess", 7, 4},  {"CheckBoxType", 7, 5},    {"ColorDepth", 7, 6},
    {"ExitLock", 7, 8},        {"FixStageSize", 7, 9},    {"TimeoutLapsed", 7, 19},
    {"SelEnd", 7, 23},         {"SelStart", 7, 24},       {"SoundEnabled", 7, 25},
    {"SoundLevel", 7, 26},     {"SwitchColorDepth", 7, 29}, {"TimeoutLength", 7, 31},
    {"TimeoutMouse", 7, 32},   {"TimeoutPlay", 7, 33},    {"Timer", 7, 34},

    {"MemberName", 9, 1}, {"MemberNumber", 9, 10},
};
// clang-format on

} // namespace

const EntityName* entityNames(int32_t* count) {
    *count = static_cast<int32_t>(sizeof kNames / sizeof kNames[0]);
    return kNames;
}

} // namespace skv

// Sprite properties (category 6): fields of the sprite's channel, the bounding rectangle of its
// member, and the puppet and visibility state the player keeps. The channel is the puppet copy
// while the sprite is a puppet; sprite 0 cannot be written.
#include "core/spritechannel.h"
#include "script/playerlink.h"
#include "script/properties.h"
#include "script/scripthost.h"

namespace skv {

namespace {

enum : int {
    kByte0 = 1,
    kBackColour = 2,
    kBottom = 3,
    kMember = 4,
    kForeColour = 7,
    kHeight = 8,
    kInk = 10,
    kLeft = 11,
    kLineSize = 12,
    kChannelLeft = 13,
    kChannelTop = 14,
    kPuppet = 18,
    kRight = 19,
    kTop = 23,
    kVisible = 25,
    kWidth = 27,
    kBlend = 28,
    kScript = 29,
    kLoc = 33,
    kMember2 = 35,
};

constexpr int kLineSizeByte = 5;
constexpr int kBlendByte = 18;

ScriptValue integer(int32_t v) {
    return ScriptValue::integer(v);
}

} // namespace

ScriptValue getSpriteProperty(ScriptHost& host, int32_t number, int32_t sprite) {
    if (number < 1 || number > 35) return ScriptValue::voidValue();
    PlayerLink* link = host.link;
    const RECT box = link ? link->spriteRect(sprite) : RECT{0, 0, 0, 0};
    switch (number) {
    case kBottom:
        return integer(box.bottom);
    case kTop:
        return integer(box.top);
    case kLeft:
        return integer(box.left);
    case kRight:
        return integer(box.right);
    case kLoc:
        return makePoint(static_cast<int16_t>(box.left), static_cast<int16_t>(box.top));
    case kVisible:
        return integer(link ? link->spriteVisible(sprite) : 0);
    default:
        break;
    }
    const SpriteChannel* ch = link ? link->propertyChannel(sprite) : nullptr;
    if (!ch) return integer(0);
    switch (number) {
    case kByte0:
        return integer(ch->bytes[0]);
    case kBackColour:
        return integer(ch->bytes[2]);
    case kForeColour:
        return integer(ch->bytes[3]);
    case kMember:
    case kMember2:
        return integer(ch->castNumber());
    case kHeight:
        return integer(ch->height());
    case kWidth:
        return integer(ch->width());
    case kInk:
        return integer(ch->bytes[4] & 0x7F);
    case kLineSize:
        return integer((ch->bytes[kLineSizeByte] & 7) - 1);
    case kChannelLeft:
        return integer(ch->left());
    case kChannelTop:
        return integer(ch->top());
    case kPuppet:
        return integer(ch->isPuppet() ? 1 : 0);
    case kBlend:
        return integer((255 - ch->bytes[kBlendByte]) * 100 / 255);
    case kScript:
        return integer(ch->scriptNumber());
    default:
        return integer(0); // stand-ins: moveable, editable, trails, type, visible, ...
    }
}

void setSpriteProperty(ScriptHost& host, int32_t number, int32_t sprite, const ScriptValue& value) {
    PlayerLink* link = host.link;
    if (sprite == 0 || !link) return;
    const int32_t v = value.asInt();
    if (number == kPuppet) {
        link->puppetSprite(sprite, v);
        return;
    }
    if (number == kVisible) {
        link->setSpriteVisible(sprite, v);
        return;
    }
    SpriteChannel* ch = link->propertyChannel(sprite);
    if (!ch) return;
    switch (number) {
    case kByte0:
        ch->bytes[0] = v ? 1 : 0;
        break;
    case kBackColour:
        ch->bytes[2] = static_cast<uint8_t>(v);
        break;
    case kForeColour:
        ch->bytes[3] = static_cast<uint8_t>(v);
        break;
    case kMember:
    case kMember2:
        ch->setCastNumber(static_cast<int16_t>(v));
        break;
    case kHeight:
        ch->setHeight(static_cast<int16_t>(v));
        break;
    case kWidth:
        ch->setWidth(static_cast<int16_t>(v));
        break;
    case kInk:
        ch->bytes[4] = static_cast<uint8_t>(v);
        break;
    case kLineSize:
        ch->bytes[kLineSizeByte] =
            static_cast<uint8_t>((ch->bytes[kLineSizeByte] & ~7) | ((v + 1) & 7));
        break;
    case kChannelLeft:
        ch->setLeft(static_cast<int16_t>(v));
        break;
    case kChannelTop:
        ch->setTop(static_cast<int16_t>(v));
        break;
    case kBlend: {
        // A percentage; outside 0-100 it is held at the nearer end rather than wrapping.
        const int32_t percent = v < 0 ? 0 : (v > 100 ? 100 : v);
        ch->bytes[kBlendByte] = static_cast<uint8_t>(255 - percent * 255 / 100);
        break;
    }
    case kLoc:
        if (value.type == vtPoint && value.fields()) {
            ch->setLeft(value.fields()[1]);
            ch->setTop(value.fields()[0]);
        }
        break;
    default:
        break; // read-only or stand-ins
    }
}

} // namespace skv

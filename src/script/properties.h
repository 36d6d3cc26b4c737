// The "the" properties: the named table (59 entries, looked up by the property's name) and the
// numbered tables (a category operand and a property number from the stack).
//
// Numbered categories:
//
// | category | what                 | object taken by getEntity                              |
// |----------|----------------------|--------------------------------------------------------|
// | 0        | the host's settings  | none for rows 0-11; a text for rows 12-15 (last piece) |
// | 1        | counts in a text     | a text                                                 |
// | 6        | sprites              | the sprite number                                      |
// | 7        | movie and system     | none                                                   |
// | 9        | cast members         | the member; from format version 5 a cast library first |
// | 12, 13   | stand-ins (0)        | one object                                             |
//
// Row = property number for categories 0 and 1 (getEntity) or 0 (setEntity), number - 1 for the
// others. Categories 2-5, 8, 10 and 11 have no table: they take one object like the others and
// read as void.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "script/emptytext.h"
#include "script/scriptvalue.h"

namespace skv {

class ScriptEngine;
class ScriptHost;

// object: the object of getObjectProp, or null for getNamedProp. False when the name is no
// property.
bool getNamedProperty(ScriptHost& host, ScriptEngine& engine, const char* name,
                      const ScriptValue* object, ScriptValue* out);
// Writes to unknown and read-only properties are ignored.
void setNamedProperty(ScriptHost& host, ScriptEngine& engine, const char* name,
                      const ScriptValue& value);
bool isNamedProperty(std::string_view name);
// Every named property's name, in table order.
std::vector<std::string_view> namedPropertyNames();

// Pop what the category takes from the engine's stack and read or write the property.
ScriptValue getEntityProperty(ScriptHost& host, ScriptEngine& engine, int32_t category,
                              int32_t formatVersion);
void setEntityProperty(ScriptHost& host, ScriptEngine& engine, int32_t category);

// Sprite properties (category 6) by number; the sprite is the object. Missing numbers read as
// void.
ScriptValue getSpriteProperty(ScriptHost& host, int32_t number, int32_t sprite);
void setSpriteProperty(ScriptHost& host, int32_t number, int32_t sprite, const ScriptValue& value);

// Names the assembly text may use for categories and numbered properties.
struct EntityName {
    const char* name;
    int32_t category;
    int32_t number; // -1: the name is the category's
};
const EntityName* entityNames(int32_t* count);

} // namespace skv

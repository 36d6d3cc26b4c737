#include "script/asmnames.h"

#include "script/opcodes.h"
#include "script/properties.h"

namespace skv {

AsmOperandName asmOperandName(uint8_t x) {
    switch (x) {
    case opPushSymbol:
    case opPushGlobal:
    case opPushGlobalAlt:
    case opPopGlobal:
    case opCallExternal:
        return AsmOperandName::kNameId;
    case opGetNamedProp:
    case opGetNamedPropAlt:
    case opSetNamedProp:
    case opGetObjectProp:
    case opSetObjectProp:
        return AsmOperandName::kProperty;
    case opGetEntity:
    case opSetEntity:
        return AsmOperandName::kCategory;
    case opPushInt:
        return AsmOperandName::kPropertyNumber;
    default:
        return AsmOperandName::kNone;
    }
}

bool asmCategoryOf(std::string_view name, int32_t* category) {
    int32_t n = 0;
    const EntityName* names = entityNames(&n);
    for (int32_t i = 0; i < n; ++i)
        if (names[i].number < 0 && name == names[i].name) {
            *category = names[i].category;
            return true;
        }
    return false;
}

bool asmPropertyNumberOf(std::string_view name, int32_t* number) {
    int32_t n = 0;
    const EntityName* names = entityNames(&n);
    for (int32_t i = 0; i < n; ++i)
        if (names[i].number >= 0 && name == names[i].name) {
            *number = names[i].number;
            return true;
        }
    return false;
}

bool asmIsProperty(std::string_view name) {
    return isNamedProperty(name);
}

const char* asmCategoryName(int32_t category) {
    int32_t n = 0;
    const EntityName* names = entityNames(&n);
    for (int32_t i = 0; i < n; ++i)
        if (names[i].number < 0 && names[i].category == category) return names[i].name;
    return nullptr;
}

} // namespace skv

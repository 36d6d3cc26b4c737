#include "script/asmnames.h"

#include "script/opcodes.h"
#include "script/properties.h"

namespace skv {

AsmOperandName asmOperandName(uint8_t x) {
    if (x >= 0x40) return AsmOperandName::kNone;
    switch (kOpcodes[op1(x)].operand) {
    case OperandKind::kNameId:
        return AsmOperandName::kNameId;
    case OperandKind::kProperty:
        return AsmOperandName::kProperty;
    case OperandKind::kCategory:
        return AsmOperandName::kCategory;
    case OperandKind::kInteger:
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

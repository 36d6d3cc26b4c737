// The interpreter loop. Kept apart from the slow paths so that the common instructions stay in
// one tight function: the top of the stack lives in a local pointer and is written back to the
// engine only before anything that can look at the stack (calls, host operations, errors).
#include <cstdio>

#include "script/bytes.h"
#include "script/opcodes.h"
#include "script/operators.h"
#include "script/script.h"
#include "script/scriptengine.h"
#include "script/scripterror.h"

namespace skv {

void ScriptEngine::fail(int32_t code) { throw ScriptError{code}; }

void ScriptEngine::countStep() {
    if (stepLimit_ && ++steps_ > stepLimit_) fail(kScriptStackLimit);
}

void ScriptEngine::unwindTo(int32_t savedTop) {
    while (top_ > savedTop) releaseValue(stack_[static_cast<size_t>(top_--)]);
    // A handler that popped below its own frame took values of its caller: their slots are
    // moved-from and must not be released again.
    while (top_ < savedTop) stack_[static_cast<size_t>(++top_)] = ScriptValue{};
}

void ScriptEngine::runHandler(skvScript* script, int32_t index, int32_t argc, bool wantResult) {
    if (argc < 0 || argc > top_) fail(kScriptStackLimit);
    if (depth_ >= kMaxCallDepth) fail(kScriptStackLimit);
    countStep();
    struct DepthGuard {
        int32_t& depth;
        explicit DepthGuard(int32_t& d) : depth(d) { ++depth; }
        ~DepthGuard() { --depth; }
    } guard(depth_);

    const ScriptBlock* block = script && script->block ? script->block.get() : nullptr;
    const HandlerInfo* h = block ? block->handler(index) : nullptr;
    const int32_t params = h ? h->paramCount : 0;
    const int32_t locals = h ? h->localCount : 0;

    Activation act;
    act.script = script;
    act.argc = argc;
    const int32_t savedTop = top_ - argc;
    act.paramBase = savedTop + 1;
    int32_t missing = params > argc ? params - argc : 0;
    if (int64_t(top_) + missing + locals > kMaxValues) fail(kScriptStackLimit);
    for (int32_t i = 0; i < missing; ++i) stack_[static_cast<size_t>(++top_)] = ScriptValue{};
    act.paramSlots = top_ - savedTop;
    act.localBase = top_ + 1;
    act.localCount = locals;
    for (int32_t i = 0; i < locals; ++i) stack_[static_cast<size_t>(++top_)] = ScriptValue{};

    releaseValue(result);
    result = ScriptValue::voidValue();
    if (h && h->codeEnd > h->codeOffset) execute(act, *block, *h);
    unwindTo(savedTop);
    if (wantResult) {
        if (top_ >= kMaxValues) fail(kScriptStackLimit);
        stack_[static_cast<size_t>(++top_)] = shareValue(result);
    } else {
        releaseValue(result);
    }
}

void ScriptEngine::execute(Activation& act, const ScriptBlock& block, const HandlerInfo& h) {
    ScriptValue* const S = stack_.get();
    ScriptValue* const spMax = S + kMaxValues;
    ScriptValue* sp = S + top_;
    // A handler may pop below its own frame; the slots of its parameters and locals then hold
    // values moved elsewhere, so a variable is only read or written while it lies at or below
    // the top of the stack.
    ScriptValue* const P = S + act.paramBase;
    ScriptValue* const L = S + act.localBase;
    const uint32_t paramSlots = static_cast<uint32_t>(act.paramSlots);
    const uint32_t localCount = static_cast<uint32_t>(act.localCount);
    const uint8_t* const code = block.data();
    const uint32_t begin = h.codeOffset;
    const uint32_t end = h.codeEnd;
    uint32_t pc = begin;

#define SKV_SYNC() (top_ = static_cast<int32_t>(sp - S))
#define SKV_RELOAD() (sp = S + top_)
#define SKV_FAIL(c)                                                                                \
    do {                                                                                           \
        SKV_SYNC();                                                                                \
        fail(c);                                                                                   \
    } while (0)
    // The stack effect of the opcode, from the one table, checked before the instruction runs.
#define SKV_NEED(op)                                                                               \
    do {                                                                                           \
        constexpr int pops = kOpcodes[op].pops, grow = kOpcodes[op].pushes - kOpcodes[op].pops;    \
        if (sp - S < pops) SKV_FAIL(kScriptStackLimit);                                            \
        if (grow > 0 && spMax - sp < grow) SKV_FAIL(kScriptStackLimit);                            \
    } while (0)
#define SKV_BOTH(x) case op1(x): case op2(x)
    // A jump's target must lie inside the handler's code; its end finishes the handler normally
    // and anything else leaves it.
#define SKV_JUMP_TO(target)                                                                        \
    do {                                                                                           \
        int64_t t_ = (target);                                                                     \
        if (t_ <= int64_t(pc)) {                                                                   \
            SKV_SYNC();                                                                            \
            countStep();                                                                           \
        }                                                                                          \
        if (t_ < int64_t(begin) || t_ >= int64_t(end)) goto leave;                                 \
        pc = static_cast<uint32_t>(t_);                                                            \
    } while (0)

    while (pc < end) {
        const uint8_t op = code[pc];
        // The block is followed by spare zero bytes, so both operand bytes can always be read.
        const uint32_t b1 = code[pc + 1];
        const int32_t n = (op & 0x80) ? int32_t(int16_t(b1 | (uint32_t(code[pc + 2]) << 8)))
                                      : int32_t(b1);
        const uint32_t len = 1u + (op >> 6);

        switch (op) {
        case opNop:
            break;
        case opRet:
            goto leave;
        case opPushZero:
            SKV_NEED(opPushZero);
            *++sp = ScriptValue::integer(0);
            break;
#define SKV_ARITH(opc)                                                                             \
    case opc:                                                                                      \
        SKV_NEED(opc);                                                                             \
        if (sp[-1].type == vtInteger && sp[0].type == vtInteger) {                                 \
            int32_t r_ = integerArithmetic(opc, int32_t(sp[-1].payload), int32_t(sp[0].payload));  \
            /* An assignment to a local that holds nothing to release takes the result at once. */ \
            if (code[pc + 1] == op1(opPopLocal) && pc + 1 < end) {                                 \
                uint32_t i_ = uint32_t(code[pc + 2]) >> 3;                                         \
                if (i_ < localCount && L + i_ <= sp - 2 && !L[i_].owned) {                                             \
                    L[i_] = ScriptValue::integer(r_);                                              \
                    sp -= 2;                                                                       \
                    pc += 3;                                                                       \
                    continue;                                                                      \
                }                                                                                  \
            }                                                                                      \
            sp[-1].payload = r_;                                                                   \
            --sp;                                                                                  \
            break;                                                                                 \
        }                                                                                          \
        goto binarySlow;
            SKV_ARITH(opMul)
            SKV_ARITH(opAdd)
            SKV_ARITH(opSub)
            SKV_ARITH(opDiv)
            SKV_ARITH(opMod)
#undef SKV_ARITH
        case opLt:
        case opLe:
        case opNe:
        case opEq:
        case opGt:
        case opGe:
            SKV_NEED(opLt);
            if (sp[-1].type == vtInteger && sp[0].type == vtInteger) {
                int32_t x = int32_t(sp[-1].payload), y = int32_t(sp[0].payload);
                int c = (x > y) - (x < y);
                // Bit c+1 of each mask says whether the opcode holds for c = -1, 0, 1.
                static constexpr uint8_t kHolds[6] = {0b001, 0b011, 0b101, 0b010, 0b100, 0b110};
                const bool holds = (kHolds[op - opLt] >> (c + 1)) & 1;
                // A comparison feeding a conditional jump branches at once; the flag it would
                // push is popped straight away by the jump.
                const uint32_t next = pc + 1;
                const uint8_t nextOp = code[next];
                if ((nextOp == op1(opJumpIfZero) || nextOp == op2(opJumpIfZero)) && next < end) {
                    sp -= 2;
                    pc = next;
                    if (!holds) {
                        const int32_t d = (nextOp & 0x80)
                                              ? int32_t(int16_t(code[pc + 1] | (code[pc + 2] << 8)))
                                              : int32_t(code[pc + 1]);
                        SKV_JUMP_TO(int64_t(pc) + d);
                        continue;
                    }
                    pc += 1u + (nextOp >> 6);
                    continue;
                }
                --sp;
                sp->payload = holds;
                break;
            }
            goto binarySlow;
        case opAnd:
        case opOr:
        case opConcat:
        case opConcatSpace:
        case opContains:
        case opStartsWith:
            SKV_NEED(opConcat);
        binarySlow: {
            // The operation takes the operands over (and releases them even when it fails), so
            // they leave the stack first.
            sp -= 2;
            ScriptValue a = sp[1], b = sp[2];
            SKV_SYNC();
            ScriptValue r = binaryOperation(op, a, b);
            *++sp = r;
            break;
        }
        case opNegate:
        case opNot:
            SKV_NEED(opNot);
            *sp = unaryOperation(op, *sp); // cannot fail
            break;
        case opGetChunk:
            SKV_NEED(opGetChunk);
            SKV_SYNC();
            getChunkOp();
            SKV_RELOAD();
            break;
        case opSpriteIntersects:
        case opSpriteWithin: {
            SKV_NEED(opSpriteWithin);
            SKV_SYNC();
            int32_t a = sp[-1].asInt(), b = sp[0].asInt();
            int32_t r = op == opSpriteIntersects ? host_->spriteIntersects(a, b)
                                                 : host_->spriteWithin(a, b);
            releaseValue(sp[0]);
            releaseValue(sp[-1]);
            --sp;
            *sp = ScriptValue::integer(r);
            break;
        }

        case op1(opPushInt):
            SKV_NEED(op1(opPushInt));
            *++sp = ScriptValue::integer(int8_t(b1));
            break;
        case op2(opPushInt):
            SKV_NEED(op2(opPushInt));
            *++sp = ScriptValue::integer(n);
            break;
        SKV_BOTH(opArgListNoResult):
            act.pendingArgc = n;
            act.pendingWant = false;
            break;
        SKV_BOTH(opArgList):
            act.pendingArgc = n;
            act.pendingWant = true;
            break;
        SKV_BOTH(opPushLiteral):
            SKV_NEED(op1(opPushLiteral));
            *++sp = block.literal(n);
            break;
        SKV_BOTH(opPushSymbol):
        SKV_BOTH(opPushVarRef):
            SKV_NEED(op1(opPushSymbol));
            *++sp = ScriptValue::of(vtSymbol, n);
            break;
        SKV_BOTH(opPushGlobal):
        SKV_BOTH(opPushGlobalAlt):
            SKV_NEED(op1(opPushGlobal));
            *++sp = shareValue(global(n));
            break;
        SKV_BOTH(opPushParam): {
            SKV_NEED(op1(opPushParam));
            uint32_t i = uint32_t(n) >> 3;
            ScriptValue v = (i < paramSlots && P + i <= sp) ? shareValue(P[i]) : ScriptValue{};
            *++sp = v;
            break;
        }
        SKV_BOTH(opPushLocal): {
            SKV_NEED(op1(opPushLocal));
            uint32_t i = uint32_t(n) >> 3;
            ScriptValue v = (i < localCount && L + i <= sp) ? shareValue(L[i]) : ScriptValue{};
            *++sp = v;
            break;
        }
        SKV_BOTH(opPopGlobal): {
            SKV_NEED(op1(opPopGlobal));
            ScriptValue v = *sp--;
            if (n >= 0 && n < globalCount()) {
                ScriptValue c = (v.type == vtLiteral && !v.owned) ? copyValue(v) : v;
                releaseValue(globals_[size_t(n)]);
                globals_[size_t(n)] = c;
            } else {
                releaseValue(v);
            }
            break;
        }
        SKV_BOTH(opPopParam):
        SKV_BOTH(opPopLocal): {
            SKV_NEED(op1(opPopLocal));
            const bool isLocal = opBase(op) == opPopLocal;
            uint32_t i = uint32_t(n) >> 3;
            ScriptValue v = *sp--;
            if (i < (isLocal ? localCount : paramSlots) && (isLocal ? L : P) + i <= sp) {
                ScriptValue& slot = isLocal ? L[i] : P[i];
                // A variable keeps its own copy: a text borrowed from a block becomes owned.
                ScriptValue c = (v.type == vtLiteral && !v.owned) ? copyValue(v) : v;
                releaseValue(slot);
                slot = c;
            } else {
                releaseValue(v);
            }
            break;
        }
        SKV_BOTH(opJump):
            SKV_JUMP_TO(int64_t(pc) + n);
            continue;
        SKV_BOTH(opJumpBack):
            SKV_JUMP_TO(int64_t(pc) - n);
            continue;
        SKV_BOTH(opJumpIfZero): {
            SKV_NEED(op1(opJumpIfZero));
            ScriptValue v = *sp--;
            bool zero = v.payload == 0;
            releaseValue(v);
            if (zero) {
                SKV_JUMP_TO(int64_t(pc) + n);
                continue;
            }
            break;
        }
        SKV_BOTH(opCallLocal):
        SKV_BOTH(opCallExternal):
        SKV_BOTH(opCallIndirect): {
            SKV_SYNC();
            int32_t target = n;
            if (opBase(op) == opCallIndirect) {
                ScriptValue t = pop();
                target = t.asInt();
                releaseValue(t);
            }
            bool stop = false;
            if (opBase(op) == opCallLocal)
                runHandler(act.script, target, act.pendingArgc, act.pendingWant);
            else
                stop = callByName(target, act.pendingArgc, act.pendingWant, act.argc);
            SKV_RELOAD();
            if (stop || abortFlag) goto leave;
            break;
        }
        SKV_BOTH(opPushProperty):
            std::printf("    pushProperty.w\t%04d\n", n);
            break;
        SKV_BOTH(opPopProperty):
            std::printf("    popProperty.w\t[%4d]\n", n);
            break;
        SKV_BOTH(opSetField):
            std::printf("    setField [0x%04X]\n", static_cast<unsigned>(n));
            break;
        SKV_BOTH(opPutChunk):
            SKV_NEED(op1(opPutChunk));
            SKV_SYNC();
            putChunkOp(act, n);
            SKV_RELOAD();
            break;
        SKV_BOTH(opDeleteChunk):
            SKV_NEED(op1(opDeleteChunk));
            SKV_SYNC();
            deleteChunkOp(act);
            SKV_RELOAD();
            break;
        SKV_BOTH(opGetEntity):
        SKV_BOTH(opSetEntity):
        SKV_BOTH(opGetNamedProp):
        SKV_BOTH(opGetNamedPropAlt):
        SKV_BOTH(opSetNamedProp):
        SKV_BOTH(opGetObjectProp):
        SKV_BOTH(opSetObjectProp):
            SKV_SYNC();
            propertyOp(op, n, block.formatVersion());
            SKV_RELOAD();
            break;
        SKV_BOTH(opPeek): {
            SKV_NEED(op1(opPeek));
            if (n < 0 || n >= sp - S) SKV_FAIL(kScriptStackLimit);
            ScriptValue v = shareValue(sp[-n]);
            *++sp = v;
            break;
        }
        SKV_BOTH(opDrop):
            if (n < 0 || n > sp - S) SKV_FAIL(kScriptStackLimit);
            for (int32_t i = 0; i < n; ++i) releaseValue(*sp--);
            break;
        default:
            SKV_FAIL(kScriptBadOpcode);
        }
        pc += len;
    }
leave:
    SKV_SYNC();

#undef SKV_SYNC
#undef SKV_RELOAD
#undef SKV_FAIL
#undef SKV_NEED
#undef SKV_BOTH
#undef SKV_JUMP_TO
}

} // namespace skv

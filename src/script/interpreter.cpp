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

void ScriptEngine::fail(int32_t code) {
    throw ScriptError{code};
}

void ScriptEngine::countStep() {
    if (stepLimit_ && ++steps_ > stepLimit_) fail(kScriptStackLimit);
}

void ScriptEngine::unwindTo(int32_t savedTop) {
    while (top_ > savedTop)
        releaseValue(stack_[static_cast<size_t>(top_--)]);
    // A handler that popped below its own frame took values of its caller: their slots are
    // moved-from and must not be released again.
    while (top_ < savedTop)
        stack_[static_cast<size_t>(++top_)] = ScriptValue{};
}

// A ScriptError that leaves the handler, or its set-up, is located on its way out: in the handler
// that raised it, or in one it called, or at the caller's call when it came before any of this
// handler's code ran.
void ScriptEngine::runHandler(skvScript* script, int32_t index, int32_t argc, bool wantResult) try {
    if (depth_ == 0) place_ = Place{}; // nothing of an earlier run is a place in this one
    const Place callerPlace = place_;
    if (argc < 0 || argc > top_) fail(kScriptStackLimit);
    if (depth_ >= kMaxCallDepth) fail(kScriptStackLimit);
    if (depth_ == 0) steps_ = 0; // the limit counts per outermost run
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
    for (int32_t i = 0; i < missing; ++i)
        stack_[static_cast<size_t>(++top_)] = ScriptValue{};
    act.paramSlots = top_ - savedTop;
    act.localBase = top_ + 1;
    act.localCount = locals;
    for (int32_t i = 0; i < locals; ++i)
        stack_[static_cast<size_t>(++top_)] = ScriptValue{};

    releaseValue(result);
    result = ScriptValue::voidValue();
    if (h && h->codeEnd > h->codeOffset) execute(act, *block, *h);
    unwindTo(savedTop);
    // What fails from here on is the caller's call.
    place_ = callerPlace;
    if (wantResult) {
        if (top_ >= kMaxValues) fail(kScriptStackLimit);
        stack_[static_cast<size_t>(++top_)] = shareValue(result);
    } else {
        releaseValue(result);
    }
} catch (ScriptError& e) {
    if (!e.located()) locate(e);
    throw;
}

namespace {

// The instruction forms, numbered in the order of SKV_OPCODES: one for an operation without an
// operand, two (the one-byte form first) for one with an operand.
constexpr size_t kFormCount = [] {
    size_t n = 0;
    for (const detail::OpRow& r : detail::kOpRows)
        n += r.hasOperand() ? 2 : 1;
    return n;
}();

// The form of each opcode byte; an invalid byte takes the number after the last form.
constexpr std::array<uint8_t, 256> kFormOf = [] {
    static_assert(kFormCount < 256);
    std::array<uint8_t, 256> f{};
    f.fill(uint8_t(kFormCount));
    uint8_t next = 0;
    for (const detail::OpRow& r : detail::kOpRows) {
        if (r.hasOperand()) {
            f[op1(r.code)] = next++;
            f[op2(r.code)] = next++;
        } else {
            f[r.code] = next++;
        }
    }
    return f;
}();

// Where the loop goes for each opcode byte, made from the code of each form (and, after them, the
// invalid-opcode exit).
struct DispatchTable {
    explicit DispatchTable(const void* const (&forms)[kFormCount + 1]) {
        for (size_t op = 0; op < 256; ++op)
            target[op] = forms[kFormOf[op]];
    }
    const void* operator[](uint8_t op) const { return target[op]; }
    const void* target[256];
};

} // namespace

// The loop is threaded: every instruction ends with its own jump to the next one's code, which
// the processor predicts far better than one shared jump. The table of targets lists, for each
// opcode byte, the code of the instruction kOpcodes names there (or the invalid-opcode exit).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
void ScriptEngine::execute(Activation& act, const ScriptBlock& block, const HandlerInfo& h) {
    // The code of each form, in the order of SKV_OPCODES: LName for an operation without an
    // operand, LName1 and LName2 for the one- and two-byte forms of one with an operand. A form
    // without its label does not compile, nor does a label left over that nothing jumps to.
#define SKV_FORM_CODE_plain(Name) &&L##Name,
#define SKV_FORM_CODE_operand(Name) &&L##Name##1, &&L##Name##2,
#define SKV_FORM_CODE(Name, form, code, name, pops, pushes, operand) SKV_FORM_CODE_##form(Name)
    static const void* const kFormCode[] = {SKV_OPCODES(SKV_FORM_CODE) && Lbad};
#undef SKV_FORM_CODE
#undef SKV_FORM_CODE_operand
#undef SKV_FORM_CODE_plain
    // Made once, when the first handler runs; each instruction then jumps through it directly.
    static const DispatchTable kTargets(kFormCode);

    ScriptValue* const S = stack_.get();
    ScriptValue* const spMax = S + kMaxValues;
    ScriptValue* sp = S + top_;
    // The running handler: the one this call started, or one that callLocal started inside the
    // loop (kept in localCalls_ above baseDepth).
    Activation* A = &act;
    const HandlerInfo* H = &h;
    const int32_t baseDepth = depth_;
    struct DepthRestore {
        int32_t& depth;
        int32_t saved;
        ~DepthRestore() { depth = saved; }
    } depthRestore{depth_, baseDepth};
    // A handler may pop below its own frame; the slots of its parameters and locals then hold
    // values moved elsewhere, so a variable is only read or written while it lies at or below
    // the top of the stack.
    ScriptValue* P;
    ScriptValue* L;
    uint32_t paramSlots, localCount, begin, end;
    const uint8_t* const code = block.data();
    const uint8_t* ip; // the instruction about to run
    const uint8_t* endp;
    uint8_t op = 0; // set by the instructions that read it
    int32_t n = 0;
    uint32_t len = 1;
    int32_t x, y; // the operands of an integer comparison

#define SKV_ENTER()                                                                                \
    do {                                                                                           \
        P = S + A->paramBase;                                                                      \
        L = S + A->localBase;                                                                      \
        paramSlots = static_cast<uint32_t>(A->paramSlots);                                         \
        localCount = static_cast<uint32_t>(A->localCount);                                         \
        begin = H->codeOffset;                                                                     \
        end = H->codeEnd;                                                                          \
        endp = code + end;                                                                         \
    } while (0)
    SKV_ENTER();
    ip = code + begin;

    // Writing back also notes the instruction and the handler: an error raised from here on, by
    // the loop or by what it calls, happened there (see locate). Only the slow paths write back.
#define SKV_SYNC() (top_ = static_cast<int32_t>(sp - S), place_ = Place{A->script, H, ip})
#define SKV_RELOAD() (sp = S + top_)
#define SKV_FAIL(c)                                                                                \
    do {                                                                                           \
        SKV_SYNC();                                                                                \
        fail(c);                                                                                   \
    } while (0)
#define SKV_NEXT()                                                                                 \
    do {                                                                                           \
        if (ip >= endp) goto leave;                                                                \
        goto* kTargets[*ip];                                                                       \
    } while (0)
    // After an instruction that is not a jump.
#define SKV_ADVANCE()                                                                              \
    do {                                                                                           \
        ip += len;                                                                                 \
        SKV_NEXT();                                                                                \
    } while (0)
#define SKV_ADVANCE1()                                                                             \
    do {                                                                                           \
        ip += 1;                                                                                   \
        SKV_NEXT();                                                                                \
    } while (0)
    // The operand of a one- or two-byte form. The block is followed by spare zero bytes, so both
    // operand bytes can always be read.
#define SKV_OPERAND()                                                                              \
    do {                                                                                           \
        op = ip[0];                                                                                \
        n = (op & 0x80) ? int32_t(int16_t(ip[1] | (uint32_t(ip[2]) << 8))) : int32_t(ip[1]);       \
        len = 1u + (op >> 6);                                                                      \
    } while (0)
    // The stack effect of the opcode, from the one table, checked before the instruction runs.
#define SKV_OPERAND_BYTE() (n = int32_t(ip[1]), len = 2)
#define SKV_OPERAND_WORD() (n = int32_t(int16_t(ip[1] | (ip[2] << 8))), len = 3)
#define SKV_NEED(opc)                                                                              \
    do {                                                                                           \
        constexpr int pops = kOpcodes[opc].pops, grow = kOpcodes[opc].pushes - kOpcodes[opc].pops; \
        if (sp - S < pops) SKV_FAIL(kScriptStackLimit);                                            \
        if (grow > 0 && spMax - sp < grow) SKV_FAIL(kScriptStackLimit);                            \
    } while (0)
    // A jump's target must lie inside the handler's code; its end finishes the handler normally
    // and anything else leaves it. Jumps that do not go forward count against the step limit.
#define SKV_JUMP_BY(distance)                                                                      \
    do {                                                                                           \
        const int64_t d_ = (distance);                                                             \
        if (d_ <= 0 && stepLimit_ && ++steps_ > stepLimit_) SKV_FAIL(kScriptStackLimit);           \
        const int64_t t_ = int64_t(ip - code) + d_;                                                \
        if (t_ < int64_t(begin) || t_ >= int64_t(end)) goto leave;                                 \
        ip = code + t_;                                                                            \
        SKV_NEXT();                                                                                \
    } while (0)

    SKV_NEXT();

LNop:
    SKV_ADVANCE1();
LRet:
    goto leave;
LPushZero:
    SKV_NEED(opPushZero);
    *++sp = ScriptValue::integer(0);
    SKV_ADVANCE1();

#define SKV_ARITH(opc)                                                                             \
    SKV_NEED(opc);                                                                                 \
    if (sp[-1].type == vtInteger && sp[0].type == vtInteger) {                                     \
        int32_t r_ = integerArithmetic(opc, int32_t(sp[-1].payload), int32_t(sp[0].payload));      \
        /* An assignment to a local that holds nothing to release takes the result at once. */     \
        if (ip[1] == op1(opPopLocal) && ip + 1 < endp) {                                           \
            uint32_t i_ = uint32_t(ip[2]) >> 3;                                                    \
            if (i_ < localCount && L + i_ <= sp - 2 && !L[i_].owned) {                             \
                L[i_] = ScriptValue::integer(r_);                                                  \
                sp -= 2;                                                                           \
                ip += 3;                                                                           \
                SKV_NEXT();                                                                        \
            }                                                                                      \
        }                                                                                          \
        sp[-1].payload = r_;                                                                       \
        --sp;                                                                                      \
        SKV_ADVANCE1();                                                                            \
    }                                                                                              \
    goto binarySlow;
LMul:
    SKV_ARITH(opMul)
LAdd:
    SKV_ARITH(opAdd)
LSub:
    SKV_ARITH(opSub)
LDiv:
    SKV_ARITH(opDiv)
LMod:
    SKV_ARITH(opMod)
#undef SKV_ARITH

LLt:
LLe:
LNe:
LEq:
LGt:
LGe:
    SKV_NEED(opLt);
    if (sp[-1].type == vtInteger && sp[0].type == vtInteger) {
        x = int32_t(sp[-1].payload);
        y = int32_t(sp[0].payload);
        sp -= 2;
        goto compareInts;
    }
    goto binarySlow;
compareInts : {
    // The comparison at ip of x and y, whose operands are off the stack already.
    const int c = (x > y) - (x < y);
    // Bit c+1 of each mask says whether the opcode holds for c = -1, 0, 1.
    static constexpr uint8_t kHolds[6] = {0b001, 0b011, 0b101, 0b010, 0b100, 0b110};
    const bool holds = (kHolds[ip[0] - opLt] >> (c + 1)) & 1;
    // A comparison feeding a conditional jump branches at once; the flag it would push is
    // popped straight away by the jump.
    const uint8_t nextOp = ip[1];
    if ((nextOp == op1(opJumpIfZero) || nextOp == op2(opJumpIfZero)) && ip + 1 < endp) {
        ip += 1;
        if (!holds) {
            const int32_t d =
                (nextOp & 0x80) ? int32_t(int16_t(ip[1] | (ip[2] << 8))) : int32_t(ip[1]);
            SKV_JUMP_BY(d);
        }
        ip += 1u + (nextOp >> 6);
        SKV_NEXT();
    }
    *++sp = ScriptValue::integer(holds);
    SKV_ADVANCE1();
}

LNegate:
LNot:
    SKV_NEED(opNot);
    op = ip[0];
    *sp = unaryOperation(op, *sp); // cannot fail
    SKV_ADVANCE1();

LConcat:
LConcatSpace:
LAnd:
LOr:
LContains:
LStartsWith:
    SKV_NEED(opConcat);
binarySlow : {
    // The operation takes the operands over (and releases them even when it fails), so they
    // leave the stack first.
    op = ip[0];
    sp -= 2;
    ScriptValue a = sp[1], b = sp[2];
    SKV_SYNC();
    ScriptValue r = binaryOperation(op, a, b);
    *++sp = r;
    SKV_ADVANCE1();
}

LGetChunk:
    SKV_NEED(opGetChunk);
    SKV_SYNC();
    getChunkOp();
    SKV_RELOAD();
    SKV_ADVANCE1();

LSpriteIntersects:
LSpriteWithin : {
    SKV_NEED(opSpriteWithin);
    SKV_SYNC();
    int32_t a = sp[-1].asInt(), b = sp[0].asInt();
    int32_t r =
        ip[0] == opSpriteIntersects ? host_->spriteIntersects(a, b) : host_->spriteWithin(a, b);
    releaseValue(sp[0]);
    releaseValue(sp[-1]);
    --sp;
    *sp = ScriptValue::integer(r);
    SKV_ADVANCE1();
}

LPushInt1 : { // the one-byte operand is signed
    SKV_NEED(op1(opPushInt));
    const int32_t k = int8_t(ip[1]);
    const uint8_t next = ip[2];
    // A small constant feeding arithmetic on an integer (i + 1, n mod 7) is applied in place,
    // and the result goes straight into a local when the next instruction stores it there.
    if (next >= opMul && next <= opMod && ip + 2 < endp && sp > S && sp->type == vtInteger) {
        const int32_t r = integerArithmetic(next, int32_t(sp->payload), k);
        if (ip[3] == op1(opPopLocal) && ip + 3 < endp) {
            const uint32_t i = uint32_t(ip[4]) >> 3;
            if (i < localCount && L + i <= sp - 1 && !L[i].owned) {
                L[i] = ScriptValue::integer(r);
                --sp;
                ip += 5;
                SKV_NEXT();
            }
        }
        sp->payload = r;
        ip += 3;
        SKV_NEXT();
    }
    // Likewise a comparison with a constant (n < 2).
    if (next >= opLt && next <= opGe && ip + 2 < endp && sp > S && sp->type == vtInteger) {
        x = int32_t(sp->payload);
        y = k;
        --sp;
        ip += 2;
        goto compareInts;
    }
    *++sp = ScriptValue::integer(k);
    ip += 2;
    SKV_NEXT();
}
LPushInt2:
    SKV_NEED(op2(opPushInt));
    *++sp = ScriptValue::integer(int16_t(ip[1] | (ip[2] << 8)));
    ip += 3;
    SKV_NEXT();

LArgListNoResult1:
LArgListNoResult2:
    SKV_OPERAND();
    A->pendingArgc = n;
    A->pendingWant = false;
    SKV_ADVANCE();
LArgList1:
LArgList2:
    SKV_OPERAND();
    A->pendingArgc = n;
    A->pendingWant = true;
    SKV_ADVANCE();

LPushLiteral1:
LPushLiteral2:
    SKV_OPERAND();
    SKV_NEED(op1(opPushLiteral));
    *++sp = block.literal(n);
    SKV_ADVANCE();

LPushSymbol1:
LPushSymbol2:
LPushVarRef1:
LPushVarRef2:
    SKV_OPERAND();
    SKV_NEED(op1(opPushSymbol));
    *++sp = ScriptValue::of(vtSymbol, n);
    SKV_ADVANCE();

LPushGlobal1:
LPushGlobal2:
LPushGlobalAlt1:
LPushGlobalAlt2 : {
    SKV_OPERAND();
    SKV_NEED(op1(opPushGlobal));
    ScriptValue v = shareValue(global(n));
    *++sp = v;
    SKV_ADVANCE();
}

LPushParam1 : {
    SKV_NEED(op1(opPushParam));
    const uint32_t i = uint32_t(ip[1]) >> 3;
    ScriptValue v = (i < paramSlots && P + i <= sp) ? shareValue(P[i]) : ScriptValue{};
    *++sp = v;
    ip += 2;
    // A constant after a variable goes straight on to its own fast path.
    if (ip[0] == op1(opPushInt) && ip < endp) goto LPushInt1;
    SKV_NEXT();
}
LPushParam2 : {
    SKV_OPERAND_WORD();
    SKV_NEED(op1(opPushParam));
    uint32_t i = uint32_t(n) >> 3;
    ScriptValue v = (i < paramSlots && P + i <= sp) ? shareValue(P[i]) : ScriptValue{};
    *++sp = v;
    SKV_ADVANCE();
}
LPushLocal1 : {
    SKV_NEED(op1(opPushLocal));
    const uint32_t i = uint32_t(ip[1]) >> 3;
    ScriptValue v = (i < localCount && L + i <= sp) ? shareValue(L[i]) : ScriptValue{};
    *++sp = v;
    // Two variables pushed one after the other (the operands of most expressions) take one step.
    const uint8_t next = ip[2];
    if ((next == op1(opPushLocal) || next == op1(opPushParam)) && ip + 2 < endp && sp < spMax) {
        const uint32_t j = uint32_t(ip[3]) >> 3;
        ScriptValue w;
        if (next == op1(opPushLocal)) {
            if (j < localCount && L + j <= sp) w = shareValue(L[j]);
        } else {
            if (j < paramSlots && P + j <= sp) w = shareValue(P[j]);
        }
        *++sp = w;
        ip += 4;
        SKV_NEXT();
    }
    ip += 2;
    if (next == op1(opPushInt) && ip < endp) goto LPushInt1;
    SKV_NEXT();
}
LPushLocal2 : {
    SKV_OPERAND();
    SKV_NEED(op1(opPushLocal));
    uint32_t i = uint32_t(n) >> 3;
    ScriptValue v = (i < localCount && L + i <= sp) ? shareValue(L[i]) : ScriptValue{};
    *++sp = v;
    SKV_ADVANCE();
}

LPopGlobal1:
LPopGlobal2 : {
    SKV_OPERAND();
    SKV_NEED(op1(opPopGlobal));
    ScriptValue v = *sp--;
    if (n >= 0 && n < globalCount()) {
        // A global keeps its own copy: a text borrowed from a block becomes owned.
        ScriptValue c = (v.type == vtLiteral && !v.owned) ? copyValue(v) : v;
        releaseValue(globals_[size_t(n)]);
        globals_[size_t(n)] = c;
    } else {
        releaseValue(v);
    }
    SKV_ADVANCE();
}

LPopParam1:
LPopParam2:
LPopLocal1:
LPopLocal2 : {
    SKV_OPERAND();
    SKV_NEED(op1(opPopLocal));
    const bool isLocal = opBase(op) == opPopLocal;
    uint32_t i = uint32_t(n) >> 3;
    ScriptValue v = *sp--;
    if (i < (isLocal ? localCount : paramSlots) && (isLocal ? L : P) + i <= sp) {
        ScriptValue& slot = isLocal ? L[i] : P[i];
        ScriptValue c = (v.type == vtLiteral && !v.owned) ? copyValue(v) : v;
        releaseValue(slot);
        slot = c;
    } else {
        releaseValue(v);
    }
    SKV_ADVANCE();
}

LJump1:
    SKV_OPERAND_BYTE();
    SKV_JUMP_BY(n);
LJump2:
    SKV_OPERAND_WORD();
    SKV_JUMP_BY(n);
LJumpBack1:
    SKV_OPERAND_BYTE();
    SKV_JUMP_BY(-int64_t(n));
LJumpBack2:
    SKV_OPERAND_WORD();
    SKV_JUMP_BY(-int64_t(n));
LJumpIfZero1:
LJumpIfZero2 : {
    SKV_OPERAND();
    SKV_NEED(op1(opJumpIfZero));
    ScriptValue v = *sp--;
    bool zero = v.payload == 0;
    releaseValue(v);
    if (zero) SKV_JUMP_BY(n);
    SKV_ADVANCE();
}

LCallLocal1:
LCallLocal2 : {
    SKV_OPERAND();
    SKV_SYNC();
    // A handler of the same block starts right here; anything else takes the native way.
    skvScript* const script = A->script;
    if (!script || script->block.get() != &block) {
        runHandler(script, n, A->pendingArgc, A->pendingWant);
        SKV_RELOAD();
        if (abortFlag) goto leave;
        SKV_ADVANCE();
    }
    const int32_t argc = A->pendingArgc;
    if (argc < 0 || argc > top_) fail(kScriptStackLimit);
    if (depth_ >= kMaxCallDepth) fail(kScriptStackLimit);
    countStep();
    const HandlerInfo* callee = block.handler(n);
    const int32_t params = callee ? callee->paramCount : 0;
    const int32_t locals = callee ? callee->localCount : 0;
    const int32_t savedTop = top_ - argc;
    const int32_t missing = params > argc ? params - argc : 0;
    if (int64_t(top_) + missing + locals > kMaxValues) fail(kScriptStackLimit);
    LocalCall& c = localCalls_[size_t(depth_)];
    ++depth_;
    c.callerAct = A;
    c.callerHandler = H;
    c.callerPc = static_cast<uint32_t>(ip - code);
    c.savedTop = savedTop;
    c.wantResult = A->pendingWant;
    c.act = Activation{};
    c.act.script = script;
    c.act.argc = argc;
    c.act.paramBase = savedTop + 1;
    for (int32_t i = 0; i < missing; ++i)
        *++sp = ScriptValue{};
    c.act.paramSlots = static_cast<int32_t>(sp - S) - savedTop;
    c.act.localBase = static_cast<int32_t>(sp - S) + 1;
    c.act.localCount = locals;
    for (int32_t i = 0; i < locals; ++i)
        *++sp = ScriptValue{};
    releaseValue(result);
    result = ScriptValue::voidValue();
    A = &c.act;
    static const HandlerInfo kEmpty{};
    H = callee ? callee : &kEmpty;
    SKV_ENTER();
    ip = code + begin;
    SKV_NEXT();
}
LCallExternal1:
LCallExternal2:
LCallIndirect1:
LCallIndirect2 : {
    SKV_OPERAND();
    SKV_SYNC();
    int32_t target = n;
    if (opBase(op) == opCallIndirect) {
        ScriptValue t = pop();
        target = t.asInt();
        releaseValue(t);
    }
    const bool stop = callByName(target, A->pendingArgc, A->pendingWant, A->argc);
    SKV_RELOAD();
    if (stop || abortFlag) goto leave;
    SKV_ADVANCE();
}

LPushProperty1:
LPushProperty2:
    SKV_OPERAND();
    std::printf("    pushProperty.w\t%04d\n", n);
    SKV_ADVANCE();
LPopProperty1:
LPopProperty2:
    SKV_OPERAND();
    std::printf("    popProperty.w\t[%4d]\n", n);
    SKV_ADVANCE();
LSetField1:
LSetField2:
    SKV_OPERAND();
    std::printf("    setField [0x%04X]\n", static_cast<unsigned>(n));
    SKV_ADVANCE();

LPutChunk1:
LPutChunk2:
    SKV_OPERAND();
    SKV_NEED(op1(opPutChunk));
    SKV_SYNC();
    putChunkOp(*A, n);
    SKV_RELOAD();
    SKV_ADVANCE();
LDeleteChunk1:
LDeleteChunk2:
    SKV_OPERAND();
    SKV_NEED(op1(opDeleteChunk));
    SKV_SYNC();
    deleteChunkOp(*A);
    SKV_RELOAD();
    SKV_ADVANCE();

LGetEntity1: // the property operations
LGetEntity2:
LSetEntity1:
LSetEntity2:
LGetNamedProp1:
LGetNamedProp2:
LGetNamedPropAlt1:
LGetNamedPropAlt2:
LSetNamedProp1:
LSetNamedProp2:
LGetObjectProp1:
LGetObjectProp2:
LSetObjectProp1:
LSetObjectProp2:
    SKV_OPERAND();
    SKV_SYNC();
    propertyOp(op, n, block.formatVersion());
    SKV_RELOAD();
    SKV_ADVANCE();

LPeek1:
LPeek2 : {
    SKV_OPERAND();
    SKV_NEED(op1(opPeek));
    if (n < 0 || n >= sp - S) SKV_FAIL(kScriptStackLimit);
    ScriptValue v = shareValue(sp[-n]);
    *++sp = v;
    SKV_ADVANCE();
}
LDrop1:
LDrop2:
    SKV_OPERAND();
    if (n < 0 || n > sp - S) SKV_FAIL(kScriptStackLimit);
    for (int32_t i = 0; i < n; ++i)
        releaseValue(*sp--);
    SKV_ADVANCE();

Lbad:
    SKV_FAIL(kScriptBadOpcode);

leave:
    SKV_SYNC();
    if (depth_ > baseDepth) {
        // A handler started by callLocal ends: its frame goes, its result comes back as the
        // call's value, and the caller goes on after the call.
        LocalCall& c = localCalls_[size_t(depth_ - 1)];
        unwindTo(c.savedTop);
        if (c.wantResult) {
            if (top_ >= kMaxValues) fail(kScriptStackLimit);
            stack_[static_cast<size_t>(++top_)] = shareValue(result);
        } else {
            releaseValue(result);
        }
        --depth_;
        A = c.callerAct;
        H = c.callerHandler;
        SKV_ENTER();
        ip = code + c.callerPc;
        SKV_RELOAD();
        if (abortFlag) goto leave;
        len = 1u + (ip[0] >> 6);
        SKV_ADVANCE();
    }

#undef SKV_SYNC
#undef SKV_RELOAD
#undef SKV_FAIL
#undef SKV_NEXT
#undef SKV_ADVANCE
#undef SKV_ADVANCE1
#undef SKV_OPERAND
#undef SKV_OPERAND_BYTE
#undef SKV_OPERAND_WORD
#undef SKV_NEED
#undef SKV_JUMP_BY
#undef SKV_ENTER
}
#pragma GCC diagnostic pop

} // namespace skv

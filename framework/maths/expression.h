// Expression: a compiled program of the expression language (postfix instructions), its
// float variables and an optional context of named values, evaluated on a small stack.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_Expression = om_guid("F7750C1B-0E48-11D5-A4A5-00010239331A");
inline constexpr GUID IID_IExpression = om_guid("F7750C19-0E48-11D5-A4A5-00010239331A");

// A function of the language: the arguments in order from arguments[0]; the result goes into
// arguments[0]. A negative result fails the evaluation with that code.
using ExpressionFunction = OmResult (*)(float* arguments);

// Places on the evaluation stack.
inline constexpr int32_t OM_EXPRESSION_STACK_SIZE = 32;

enum ExpressionInstructionKind : uint8_t {
    OM_EXPR_APPLY_FUNCTION = 0,
    OM_EXPR_PUSH_CONSTANT = 1,
    OM_EXPR_PUSH_VARIABLE = 2,
    OM_EXPR_END_STATEMENT = 3,
    OM_EXPR_END_ASSIGNMENT = 4,
};

struct ExpressionInstruction {
    uint8_t kind;
    uint8_t arity; // OM_EXPR_APPLY_FUNCTION only
    union {
        ExpressionFunction function;
        float constant;
        char* name; // a copy owned by the instruction (push variable, end assignment)
    };
};

struct IExpression : IUnknown {
    // A new expression running this one's program (a clone runs its owner's) with a copy of
    // the variables and the same context. OM_E_FAIL for mode 1; OM_E_OUTOFMEMORY.
    virtual OmResult Expression_Clone(int32_t mode, IExpression** out) = 0;
    // Runs the program; *value gets the last statement's value. OM_E_FAIL for a stack that
    // runs short or over, or three or more values left at the end; a function's failure.
    virtual OmResult Expression_Evaluate(float* value) = 0;
    // The expression's own variable, 0 when absent.
    virtual float Expression_GetVariable(const char* name) = 0;
    // Creates or sets the variable. OM_E_OUTOFMEMORY; OM_E_FAIL for a null name.
    virtual OmResult Expression_SetVariable(const char* name, float value) = 0;
    // The program writers below fail with OM_E_FAIL on a clone, changing nothing.
    // OM_E_OUTOFMEMORY.
    virtual OmResult Expression_PushVariable(const char* name) = 0;
    virtual OmResult Expression_PushConstant(float value) = 0;
    // OM_E_FAIL also for an arity outside 0-255 or a null function.
    virtual OmResult Expression_ApplyFunction(int32_t arity, ExpressionFunction function) = 0;
    virtual OmResult Expression_EndStatement() = 0;
    virtual OmResult Expression_EndAssignment(const char* name) = 0;
    // Removes the last instruction. OM_E_FAIL when there is none.
    virtual OmResult Expression_DropLast() = 0;
    // Removes every instruction.
    virtual OmResult Expression_Clear() = 0;
    // Holds the context (a reference) in place of the previous one; null allowed. 0.
    virtual OmResult Expression_SetContext(IObjHash* context) = 0;
    // The context, no reference added.
    virtual IObjHash* Expression_GetContext() = 0;
};

OM_DECLARE_MODULE(Expression);

// A new empty Expression made directly (one reference). OM_E_OUTOFMEMORY.
OmResult OmNewExpression(IExpression** out);

// ExpressionParser: compiles the expression language's text into an Expression's postfix
// program, tokenised by a lexical analyser and ordered by operator precedence.
#pragma once

#include "framework/io/byte_stream.h"
#include "framework/maths/expression.h"

inline constexpr GUID CLSID_ExpressionParser = om_guid("F7750C1C-0E48-11D5-A4A5-00010239331A");
// The class's own interface has no published id apart from the class id.
inline constexpr GUID IID_IExpressionParser = CLSID_ExpressionParser;

// Longest identifier (and assignment target) the parser takes, without its terminator.
inline constexpr size_t OM_EXPRESSION_NAME_MAX = 79;

struct ExpressionSymbol {
    int32_t precedence;
    int32_t arity;
    ExpressionFunction function;
};

struct IExpressionParser : IUnknown {
    // Defines or replaces a symbol: an operator reached through its token, or a function
    // called as "name(". OM_E_OUTOFMEMORY; OM_E_FAIL for a null name or function.
    virtual OmResult ExpressionParser_Define(const char* name, int32_t arity,
                                             ExpressionFunction function, int32_t precedence) = 0;
    // OM_E_FAIL when the symbol is absent.
    virtual OmResult ExpressionParser_Undefine(const char* name) = 0;
    // ParseStream over a memory stream holding the text.
    virtual OmResult ExpressionParser_ParseText(const char* text, IExpression* expression) = 0;
    // Replaces the expression's program by the stream's statements. OM_E_FAIL for a syntax
    // error (the expression then holds what was emitted before it); the analyser's and the
    // stream's failures.
    virtual OmResult ExpressionParser_ParseStream(IByteStream* stream, IExpression* expression) = 0;
};

OM_DECLARE_MODULE(ExpressionParser);

// A new parser made directly (one reference). OM_E_OUTOFMEMORY or a failure of its set-up.
OmResult OmNewExpressionParser(IExpressionParser** out);

// ExpressionParser: the language's tokens come from an NFA analyser; a shunting-yard pass
// over them emits postfix instructions into the target Expression.
#include "framework/maths/expression_parser.h"

#include "framework/containers/new_direct.h"
#include "framework/containers/om_array.h"
#include "framework/containers/str_key_hash.h"
#include "framework/core/com_ref.h"
#include "framework/io/lex_analyser.h"
#include "framework/io/memory_stream.h"
#include "framework/maths/expression_functions.h"
#include "framework/maths/maths_functions.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

// Token ids of the language.
enum TokenId : int32_t {
    TOKEN_NONE = 0,
    TOKEN_IDENTIFIER = 0x100,
    TOKEN_OPEN = 0x101,
    TOKEN_CLOSE = 0x102,
    TOKEN_NUMBER = 0x103,
    TOKEN_MINUS = 0x105,
    TOKEN_PLUS = 0x106,
    TOKEN_REMAINDER = 0x107,
    TOKEN_DIVIDE = 0x108,
    TOKEN_TIMES = 0x109,
    TOKEN_COMMA = 0x10A,
    TOKEN_SEMICOLON = 0x10D,
    TOKEN_ASSIGN = 0x10E,
    TOKEN_EQUAL = 0x10F,
    TOKEN_CALL = 0x110,
    TOKEN_OTHER = 0x111,
    TOKEN_BLANK = 0x112,
    TOKEN_AND = 0x113,
    TOKEN_OR = 0x114,
    TOKEN_NOT = 0x115,
    TOKEN_LESS = 0x116,
    TOKEN_GREATER = 0x117,
};

// Kinds of operator-stack entries.
enum EntryKind : int32_t {
    ENTRY_OPEN = 0x101,
    ENTRY_OPERATOR = 0x104,
    ENTRY_ASSIGNMENT = 0x10E,
    ENTRY_CALL = 0x110,
};

struct ParserStackEntry {
    int32_t kind;
    int32_t arguments; // calls only
    ExpressionSymbol symbol;
};

const char* const definitions[][2] = {
    {"D", "[0-9]"},         {"L", "[a-zA-Z_]"},  {"H", "[a-fA-F0-9]"},
    {"E", "[Ee][-+]?{D}+"}, {"FS", "(f|F|l|L)"}, {"IS", "(u|U|l|L)*"},
};

// Blanks never reach the parser: the analyser reads on to the token after them.
OmResult skip_blank(ILexAnalyser* analyser, int32_t, int32_t* token_id) {
    return analyser->NextToken(token_id);
}

struct TokenRule {
    const char* pattern;
    int32_t token_id;
    OmLexCallback callback;
};

const TokenRule token_rules[] = {
    {"{L}({L}|{D})*", TOKEN_IDENTIFIER, nullptr},
    {"{L}({L}|{D})*\\(", TOKEN_CALL, nullptr},
    {"\\(", TOKEN_OPEN, nullptr},
    {"\\)", TOKEN_CLOSE, nullptr},
    {"==", TOKEN_EQUAL, nullptr},
    {"=", TOKEN_ASSIGN, nullptr},
    {"<", TOKEN_LESS, nullptr},
    {">", TOKEN_GREATER, nullptr},
    {"{D}+((u|U|l|L)*)?", TOKEN_NUMBER, nullptr},
    {"{D}+([Ee][\\-+]?{D}+){FS}?", TOKEN_NUMBER, nullptr},
    {"{D}*\\.{D}+(([Ee][\\-+]?{D}+))?{FS}?", TOKEN_NUMBER, nullptr},
    {"{D}+\\.{D}*(([Ee][\\-+]?{D}+))?{FS}?", TOKEN_NUMBER, nullptr},
    {"\\-", TOKEN_MINUS, nullptr},
    {"\\+", TOKEN_PLUS, nullptr},
    {"\\*", TOKEN_TIMES, nullptr},
    {"\\/", TOKEN_DIVIDE, nullptr},
    {"%", TOKEN_REMAINDER, nullptr},
    {"\\&\\&", TOKEN_AND, nullptr},
    {"\\|\\|", TOKEN_OR, nullptr},
    {"\\!", TOKEN_NOT, nullptr},
    {",", TOKEN_COMMA, nullptr},
    {";", TOKEN_SEMICOLON, nullptr},
    {"[ \\t\\r\\n\\f]+", TOKEN_BLANK, skip_blank},
    {".", TOKEN_OTHER, nullptr},
};

bool ends_operand(int32_t token_id) {
    return token_id == TOKEN_CLOSE || token_id == TOKEN_IDENTIFIER || token_id == TOKEN_NUMBER;
}

class ExpressionParser final : public OmObject<ExpressionParser, IExpressionParser> {
public:
    ~ExpressionParser() {
        OmStrKeyHashDestroy(&symbols_);
        OmArrayFree(&stack_);
        if (analyser_) analyser_->Release();
    }

    OmResult init() {
        OmArrayInit(&stack_, sizeof(ParserStackEntry));
        OmResult r = OmStrKeyHashInit(&symbols_, 0, sizeof(ExpressionSymbol));
        if (r < 0) return r;
        OmMathsTablesInit();
        if ((r = make_analyser()) < 0) return r;
        for (const ExpressionBuiltin& b : om_expression_builtins)
            ExpressionParser_Define(b.name, b.arity, b.function, b.precedence);
        return OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IExpressionParser, this}});
    }

    OmResult ExpressionParser_Define(const char* name, int32_t arity, ExpressionFunction function,
                                     int32_t precedence) override {
        if (!name || !function) return OM_E_FAIL;
        auto* symbol = static_cast<ExpressionSymbol*>(OmStrKeyHashInsert(&symbols_, name));
        if (!symbol) return OM_E_OUTOFMEMORY;
        *symbol = {precedence, arity, function};
        return OM_S_OK;
    }
    OmResult ExpressionParser_Undefine(const char* name) override {
        if (!name) return OM_E_FAIL;
        return OmStrKeyHashRemove(&symbols_, name);
    }

    OmResult ExpressionParser_ParseText(const char* text, IExpression* expression) override {
        if (!text || !expression) return OM_E_FAIL;
        ComRef<IByteStream> stream;
        OmResult r = OmNewMemoryStream(stream.put());
        if (r < 0) return r;
        if ((r = stream->Write(text, uint32_t(std::strlen(text)), nullptr)) < 0) return r;
        if ((r = stream->Seek(0, OM_SEEK_START, nullptr)) < 0) return r;
        return ExpressionParser_ParseStream(stream.get(), expression);
    }

    OmResult ExpressionParser_ParseStream(IByteStream* stream, IExpression* expression) override {
        if (!stream || !expression) return OM_E_FAIL;
        analyser_->SetInput(stream);
        OmResult r = parse(expression);
        analyser_->SetInput(nullptr);
        return r;
    }

private:
    OmResult make_analyser() {
        ComRef<ILexRules> rules;
        OmResult r = OmNewNFALexAnalyser(rules.put());
        if (r < 0) return r;
        for (const auto& definition : definitions) rules->DefineName(definition[0], definition[1]);
        for (const TokenRule& rule : token_rules)
            rules->AddRuleEx(rule.pattern, rule.token_id, rule.callback);
        if ((r = rules->Build()) < 0) return r;
        return rules->QueryInterface(IID_ILexAnalyser, reinterpret_cast<void**>(&analyser_));
    }

    const ExpressionSymbol* symbol(const char* name) const {
        return static_cast<const ExpressionSymbol*>(OmStrKeyHashFind(&symbols_, name));
    }

    ParserStackEntry* top() {
        return stack_.count
                   ? static_cast<ParserStackEntry*>(OmArrayAtUnchecked(&stack_, stack_.count - 1))
                   : nullptr;
    }
    OmResult push(int32_t kind, int32_t arguments, const ExpressionSymbol* s) {
        auto* entry = static_cast<ParserStackEntry*>(OmArrayAppend(&stack_));
        if (!entry) return OM_E_OUTOFMEMORY;
        entry->kind = kind;
        entry->arguments = arguments;
        if (s) entry->symbol = *s;
        return OM_S_OK;
    }
    void pop() { --stack_.count; }

    // Emits the operators on top whose precedence is at least `level`.
    void reduce(IExpression* e, int32_t level) {
        for (ParserStackEntry* t = top();
             t && t->kind == ENTRY_OPERATOR && t->symbol.precedence >= level; t = top()) {
            e->Expression_ApplyFunction(t->symbol.arity, t->symbol.function);
            pop();
        }
    }

    // A symbol removed with Undefine no longer parses.
    OmResult push_operator(IExpression* e, const char* name) {
        const ExpressionSymbol* s = symbol(name);
        if (!s) return OM_E_FAIL;
        reduce(e, s->precedence);
        return push(ENTRY_OPERATOR, 0, s);
    }

    // The end of a statement: what is left must be nothing or one assignment.
    OmResult finish(IExpression* e) {
        reduce(e, -1);
        if (stack_.count == 0) return e->Expression_EndStatement();
        if (stack_.count == 1 && top()->kind == ENTRY_ASSIGNMENT) {
            pop();
            return e->Expression_EndAssignment(target_);
        }
        return OM_E_FAIL;
    }

    OmResult close_parenthesis(IExpression* e, int32_t previous) {
        while (ParserStackEntry* t = top()) {
            switch (t->kind) {
            case ENTRY_OPERATOR:
                e->Expression_ApplyFunction(t->symbol.arity, t->symbol.function);
                pop();
                continue;
            case ENTRY_OPEN: pop(); return OM_S_OK;
            case ENTRY_CALL: {
                if (previous == TOKEN_CALL) t->arguments = 0; // "name()"
                if (t->arguments != t->symbol.arity) return OM_E_FAIL;
                OmResult r = e->Expression_ApplyFunction(t->symbol.arity, t->symbol.function);
                if (r < 0) return r;
                pop();
                return OM_S_OK;
            }
            default: pop(); continue; // an assignment
            }
        }
        return OM_S_OK; // nothing open: ignored
    }

    OmResult parse(IExpression* e) {
        stack_.count = 0;
        e->Expression_Clear();
        int32_t previous = TOKEN_NONE;
        char last_identifier[OM_EXPRESSION_NAME_MAX + 1] = "";
        for (;;) {
            int32_t id = TOKEN_NONE;
            OmResult r = analyser_->NextToken(&id);
            if (r == OM_E_ENDOFSTREAM) return finish(e);
            if (r < 0) return r;
            const char* text = analyser_->GetTokenText();
            switch (id) {
            case TOKEN_IDENTIFIER: {
                // Names are kept in 80-character buffers; a longer one is refused rather
                // than overrunning them.
                size_t length = std::strlen(text);
                if (length > OM_EXPRESSION_NAME_MAX) return OM_E_FAIL;
                if ((r = e->Expression_PushVariable(text)) < 0) return r;
                std::memcpy(last_identifier, text, length + 1);
                break;
            }
            case TOKEN_NUMBER:
                if ((r = e->Expression_PushConstant(float(std::strtod(text, nullptr)))) < 0)
                    return r;
                break;
            case TOKEN_OPEN:
                if ((r = push(ENTRY_OPEN, 0, nullptr)) < 0) return r;
                break;
            case TOKEN_CALL: {
                char name[OM_EXPRESSION_NAME_MAX + 2];
                size_t length = std::strlen(text) - 1; // without the '('
                if (length > OM_EXPRESSION_NAME_MAX) return OM_E_FAIL;
                std::memcpy(name, text, length);
                name[length] = '\0';
                const ExpressionSymbol* s = symbol(name);
                if (!s) return OM_E_FAIL;
                if ((r = push(ENTRY_CALL, 1, s)) < 0) return r;
                break;
            }
            case TOKEN_MINUS:
                r = push_operator(e, ends_operand(previous) ? "-" : "unary-");
                if (r < 0) return r;
                break;
            case TOKEN_PLUS:
                if (ends_operand(previous) && (r = push_operator(e, "+")) < 0) return r;
                break;
            case TOKEN_TIMES:
            case TOKEN_DIVIDE:
            case TOKEN_REMAINDER:
            case TOKEN_EQUAL:
            case TOKEN_LESS:
            case TOKEN_GREATER:
            case TOKEN_AND:
            case TOKEN_OR:
            case TOKEN_NOT:
                if ((r = push_operator(e, text)) < 0) return r;
                break;
            case TOKEN_COMMA:
                for (int32_t i = stack_.count - 1; i >= 0; --i) {
                    auto* entry = static_cast<ParserStackEntry*>(OmArrayAtUnchecked(&stack_, i));
                    if (entry->kind == ENTRY_CALL) {
                        ++entry->arguments;
                        break;
                    }
                }
                reduce(e, -1);
                break;
            case TOKEN_CLOSE:
                if ((r = close_parenthesis(e, previous)) < 0) return r;
                break;
            case TOKEN_SEMICOLON:
                if ((r = finish(e)) < 0) return r;
                break;
            case TOKEN_ASSIGN:
                if (previous != TOKEN_IDENTIFIER) return OM_E_FAIL;
                e->Expression_DropLast(); // the target is not read
                if ((r = push(ENTRY_ASSIGNMENT, 0, nullptr)) < 0) return r;
                std::memcpy(target_, last_identifier, sizeof target_);
                break;
            default: return OM_E_FAIL;
            }
            previous = id;
        }
    }

    OmStrKeyHash symbols_{};
    OmArray stack_{};
    ILexAnalyser* analyser_ = nullptr;
    char target_[OM_EXPRESSION_NAME_MAX + 1] = {};
};

const OmClassRecord classes[] = {{&CLSID_ExpressionParser, nullptr, nullptr,
                                  OmCreateComponent<ExpressionParser>, "ExpressionParser"}};

} // namespace

OmResult OmNewExpressionParser(IExpressionParser** out) {
    return om_new_direct<ExpressionParser>(out);
}

OM_DEFINE_MODULE(ExpressionParser, classes)

// Expression: instructions, variables and the stack machine that runs them.
#include "framework/maths/expression.h"

#include "framework/containers/new_direct.h"
#include "framework/containers/om_array.h"
#include "framework/containers/str_key_hash.h"

#include <cstring>

namespace {

char* copy_name(const char* name) {
    size_t length = std::strlen(name) + 1;
    auto* copy = static_cast<char*>(OmAllocMemory(length));
    if (copy) std::memcpy(copy, name, length);
    return copy;
}

bool owns_name(const ExpressionInstruction& instruction) {
    return instruction.kind == OM_EXPR_PUSH_VARIABLE || instruction.kind == OM_EXPR_END_ASSIGNMENT;
}

class Expression final : public OmObject<Expression, IExpression> {
public:
    ~Expression() {
        Expression_Clear();
        OmArrayFree(&instructions_);
        OmStrKeyHashDestroy(&variables_);
        if (context_) context_->Release();
        if (owner_) owner_->Release();
    }
    OmResult init() {
        OmArrayInit(&instructions_, sizeof(ExpressionInstruction));
        top_ = -1;
        return OmStrKeyHashInit(&variables_, 0, sizeof(float));
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IExpression, this}});
    }

    OmResult Expression_Clone(int32_t mode, IExpression** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (mode == 1) return OM_E_FAIL;
        Expression* copy;
        OmResult r = om_new_component(&copy);
        if (r < 0) return r;
        copy->owner_ = owner_ ? owner_ : this;
        copy->owner_->AddRef();
        if (context_) {
            context_->AddRef();
            copy->context_ = context_;
        }
        r = OmStrKeyHashForEach(
            &variables_,
            [](const char* name, void* value, void* target) -> OmResult {
                return static_cast<Expression*>(target)->Expression_SetVariable(
                    name, *static_cast<float*>(value));
            },
            copy);
        if (r < 0) {
            copy->Release();
            return r;
        }
        *out = copy;
        return OM_S_OK;
    }

    OmResult Expression_Evaluate(float* value) override {
        const OmArray& program = owner_ ? owner_->instructions_ : instructions_;
        top_ = -1;
        stack_[0] = 0.0f;
        const auto* code = static_cast<const ExpressionInstruction*>(program.data);
        for (int32_t pc = 0; pc < program.count; ++pc) {
            const ExpressionInstruction& instruction = code[pc];
            switch (instruction.kind) {
            case OM_EXPR_PUSH_CONSTANT:
                if (!push(instruction.constant)) return OM_E_FAIL;
                break;
            case OM_EXPR_PUSH_VARIABLE:
                if (!push(read_variable(instruction.name))) return OM_E_FAIL;
                break;
            case OM_EXPR_APPLY_FUNCTION: {
                int32_t first = top_ + 1 - instruction.arity;
                // A function of no arguments pushes its result: it needs a free place too.
                if (first < 0 || first >= OM_EXPRESSION_STACK_SIZE) return OM_E_FAIL;
                OmResult r = instruction.function(&stack_[first]);
                if (r < 0) return r;
                top_ = first;
                break;
            }
            case OM_EXPR_END_STATEMENT:
                if (top_ < 0) return OM_E_FAIL;
                --top_; // the value stays readable in its place
                break;
            case OM_EXPR_END_ASSIGNMENT: {
                if (top_ < 0) return OM_E_FAIL;
                OmResult r = assign(instruction.name, stack_[top_--]);
                if (r < 0) return r;
                break;
            }
            default: return OM_E_FAIL;
            }
        }
        if (top_ > 1) return OM_E_FAIL;
        if (value) *value = stack_[0];
        return OM_S_OK;
    }

    float Expression_GetVariable(const char* name) override {
        const auto* value =
            name ? static_cast<float*>(OmStrKeyHashFind(&variables_, name)) : nullptr;
        return value ? *value : 0.0f;
    }

    OmResult Expression_SetVariable(const char* name, float value) override {
        if (!name) return OM_E_FAIL;
        auto* slot = static_cast<float*>(OmStrKeyHashInsert(&variables_, name));
        if (!slot) return OM_E_OUTOFMEMORY;
        *slot = value;
        return OM_S_OK;
    }

    OmResult Expression_PushVariable(const char* name) override {
        return append_named(OM_EXPR_PUSH_VARIABLE, name);
    }
    OmResult Expression_PushConstant(float value) override {
        ExpressionInstruction* instruction;
        OmResult r = append(OM_EXPR_PUSH_CONSTANT, &instruction);
        if (r >= 0) instruction->constant = value;
        return r;
    }
    OmResult Expression_ApplyFunction(int32_t arity, ExpressionFunction function) override {
        if (arity < 0 || arity > 255 || !function) return OM_E_FAIL;
        ExpressionInstruction* instruction;
        OmResult r = append(OM_EXPR_APPLY_FUNCTION, &instruction);
        if (r < 0) return r;
        instruction->arity = uint8_t(arity);
        instruction->function = function;
        return OM_S_OK;
    }
    OmResult Expression_EndStatement() override {
        ExpressionInstruction* instruction;
        return append(OM_EXPR_END_STATEMENT, &instruction);
    }
    OmResult Expression_EndAssignment(const char* name) override {
        return append_named(OM_EXPR_END_ASSIGNMENT, name);
    }

    OmResult Expression_DropLast() override {
        if (owner_ || instructions_.count == 0) return OM_E_FAIL;
        auto* last =
            static_cast<ExpressionInstruction*>(OmArrayAt(&instructions_, instructions_.count - 1));
        if (owns_name(*last)) OmFreeMemory(last->name);
        --instructions_.count;
        return OM_S_OK;
    }
    OmResult Expression_Clear() override {
        if (owner_) return OM_E_FAIL;
        while (instructions_.count > 0) Expression_DropLast();
        return OM_S_OK;
    }

    OmResult Expression_SetContext(IObjHash* context) override {
        if (context) context->AddRef();
        if (context_) context_->Release();
        context_ = context;
        return OM_S_OK;
    }
    IObjHash* Expression_GetContext() override { return context_; }

private:
    bool push(float value) {
        if (top_ + 1 >= OM_EXPRESSION_STACK_SIZE) return false;
        stack_[++top_] = value;
        return true;
    }

    float read_variable(const char* name) {
        if (const auto* value = static_cast<float*>(OmStrKeyHashFind(&variables_, name)))
            return *value;
        return context_ ? context_->GetReal(name, 0.0f) : 0.0f;
    }

    // Own variables first, then a name the context already holds, else a new own variable.
    OmResult assign(const char* name, float value) {
        if (auto* own = static_cast<float*>(OmStrKeyHashFind(&variables_, name))) {
            *own = value;
            return OM_S_OK;
        }
        if (context_ && context_->Has(name)) return context_->SetReal(name, value);
        return Expression_SetVariable(name, value) < 0 ? OM_E_FAIL : OM_S_OK;
    }

    OmResult append(ExpressionInstructionKind kind, ExpressionInstruction** out) {
        if (owner_) return OM_E_FAIL;
        auto* instruction = static_cast<ExpressionInstruction*>(OmArrayAppend(&instructions_));
        if (!instruction) return OM_E_OUTOFMEMORY;
        instruction->kind = kind;
        *out = instruction;
        return OM_S_OK;
    }
    OmResult append_named(ExpressionInstructionKind kind, const char* name) {
        if (owner_) return OM_E_FAIL;
        if (!name) return OM_E_FAIL;
        char* copy = copy_name(name);
        if (!copy) return OM_E_OUTOFMEMORY;
        ExpressionInstruction* instruction;
        OmResult r = append(kind, &instruction);
        if (r < 0) {
            OmFreeMemory(copy);
            return r;
        }
        instruction->name = copy;
        return OM_S_OK;
    }

    Expression* owner_ = nullptr; // the expression whose program runs here, or null
    OmArray instructions_{};
    OmStrKeyHash variables_{};
    int32_t top_ = -1;
    float stack_[OM_EXPRESSION_STACK_SIZE] = {};
    IObjHash* context_ = nullptr;
};

const OmClassRecord classes[] = {
    {&CLSID_Expression, nullptr, nullptr, OmCreateComponent<Expression>, "Expression"}};

} // namespace

OmResult OmNewExpression(IExpression** out) {
    return om_new_direct<Expression>(out);
}

OM_DEFINE_MODULE(Expression, classes)

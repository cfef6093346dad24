// Expression: the stack machine, variables, context and clones, over hand-written programs.
#include "framework/core/com_ref.h"
#include "framework/maths/expression.h"
#include "framework/maths/expression_functions.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"

namespace {

class ExpressionTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        e = testsupport::module_object<IExpression>(Expression_GetClassObject, CLSID_Expression,
                                                    IID_IExpression);
        ASSERT_TRUE(e);
    }
    void TearDown() override {
        e.reset();
        FrameworkTest::TearDown();
    }
    // Evaluates; the value, with the result code in `result`.
    float evaluate(IExpression* expression = nullptr) {
        float value = -999;
        result = (expression ? expression : e.get())->Expression_Evaluate(&value);
        return value;
    }
    ComRef<IExpression> e;
    OmResult result = 0;
};

TEST_F(ExpressionTest, AStatementLeavesItsValue) {
    // 2 + 3 * 4;
    e->Expression_PushConstant(2);
    e->Expression_PushConstant(3);
    e->Expression_PushConstant(4);
    e->Expression_ApplyFunction(2, OmExpressionMultiply);
    e->Expression_ApplyFunction(2, OmExpressionAdd);
    e->Expression_EndStatement();
    EXPECT_EQ(evaluate(), 14);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(evaluate(), 14) << "the program runs again the same";
}

TEST_F(ExpressionTest, AssignmentsPersistAndUnknownNamesReadZero) {
    // x = y + 1; x
    e->Expression_PushVariable("y");
    e->Expression_PushConstant(1);
    e->Expression_ApplyFunction(2, OmExpressionAdd);
    e->Expression_EndAssignment("x");
    EXPECT_EQ(evaluate(), 1);
    EXPECT_EQ(e->Expression_GetVariable("x"), 1);
    e->Expression_SetVariable("y", 5);
    EXPECT_EQ(evaluate(), 6);
    EXPECT_EQ(e->Expression_GetVariable("x"), 6);
    EXPECT_EQ(e->Expression_GetVariable("nothing"), 0);
}

TEST_F(ExpressionTest, TheContextAnswersNamesTheExpressionLacks) {
    ComRef<IObjHash> context;
    ASSERT_EQ(OmCreateObjHash(nullptr, context.put()), 0);
    context->SetReal("speed", 40);
    e->Expression_SetContext(context.get());
    EXPECT_EQ(e->Expression_GetContext(), context.get());
    // speed = speed * 2; other = speed
    e->Expression_PushVariable("speed");
    e->Expression_PushConstant(2);
    e->Expression_ApplyFunction(2, OmExpressionMultiply);
    e->Expression_EndAssignment("speed");
    e->Expression_PushVariable("speed");
    e->Expression_EndAssignment("other");
    EXPECT_EQ(evaluate(), 80);
    EXPECT_EQ(context->GetReal("speed", 0), 80) << "the context's value changed";
    EXPECT_EQ(e->Expression_GetVariable("speed"), 0) << "not the expression's own";
    EXPECT_EQ(e->Expression_GetVariable("other"), 80);
    EXPECT_EQ(context->Has("other"), 0);
    e->Expression_SetContext(nullptr);
    EXPECT_EQ(evaluate(), 0) << "speed reads 0 without the context";
}

TEST_F(ExpressionTest, StackFaultsFailTheEvaluation) {
    struct Row {
        const char* what;
        void (*write)(IExpression*);
    };
    const Row rows[] = {
        {"function short of arguments",
         [](IExpression* x) {
             x->Expression_PushConstant(1);
             x->Expression_ApplyFunction(2, OmExpressionAdd);
         }},
        {"end of statement on an empty stack",
         [](IExpression* x) { x->Expression_EndStatement(); }},
        {"assignment from an empty stack",
         [](IExpression* x) { x->Expression_EndAssignment("v"); }},
        {"three values left",
         [](IExpression* x) {
             for (int i = 0; i < 3; ++i) x->Expression_PushConstant(1);
         }},
        {"33 values at once",
         [](IExpression* x) {
             for (int i = 0; i < 33; ++i) x->Expression_PushConstant(1);
         }},
        {"failing function",
         [](IExpression* x) {
             x->Expression_PushConstant(1);
             x->Expression_PushConstant(0);
             x->Expression_ApplyFunction(2, OmExpressionRemainder);
             x->Expression_EndStatement();
         }},
    };
    for (const Row& row : rows) {
        e->Expression_Clear();
        row.write(e.get());
        evaluate();
        EXPECT_EQ(result, OM_E_FAIL) << row.what;
    }
    e->Expression_Clear();
    for (int i = 0; i < 32; ++i) e->Expression_PushConstant(float(i));
    for (int i = 0; i < 30; ++i) e->Expression_ApplyFunction(2, OmExpressionAdd);
    EXPECT_EQ(evaluate(), 0) << "32 places are enough; two values may stay";
    EXPECT_EQ(result, 0);
}

TEST_F(ExpressionTest, DropLastAndClearEditTheProgram) {
    EXPECT_EQ(e->Expression_DropLast(), OM_E_FAIL);
    e->Expression_PushConstant(4);
    e->Expression_PushVariable("name");
    EXPECT_EQ(e->Expression_DropLast(), 0);
    e->Expression_EndStatement();
    EXPECT_EQ(evaluate(), 4);
    EXPECT_EQ(e->Expression_Clear(), 0);
    EXPECT_EQ(evaluate(), 0) << "an empty program gives 0";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(e->Expression_ApplyFunction(256, OmExpressionAdd), OM_E_FAIL);
}

TEST_F(ExpressionTest, ClonesRunTheOwnersProgramWithTheirOwnVariables) {
    // v * 10
    e->Expression_PushVariable("v");
    e->Expression_PushConstant(10);
    e->Expression_ApplyFunction(2, OmExpressionMultiply);
    e->Expression_EndStatement();
    e->Expression_SetVariable("v", 1);
    ComRef<IExpression> clone, grandchild;
    EXPECT_EQ(e->Expression_Clone(1, clone.put()), OM_E_FAIL);
    ASSERT_EQ(e->Expression_Clone(0, clone.put()), 0);
    EXPECT_EQ(clone->Expression_GetVariable("v"), 1);
    clone->Expression_SetVariable("v", 2);
    EXPECT_EQ(evaluate(clone.get()), 20);
    EXPECT_EQ(evaluate(), 10) << "the owner keeps its own v";
    ASSERT_EQ(clone->Expression_Clone(2, grandchild.put()), 0);
    clone.reset();
    e.reset();
    EXPECT_EQ(evaluate(grandchild.get()), 20) << "the owner's program lives on";
    EXPECT_EQ(grandchild->Expression_PushConstant(1), OM_E_FAIL);
    EXPECT_EQ(grandchild->Expression_Clear(), OM_E_FAIL);
    EXPECT_EQ(grandchild->Expression_DropLast(), OM_E_FAIL);
}

} // namespace

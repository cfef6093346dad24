// ExpressionParser: texts of the language, their values and their syntax errors.
#include "framework/core/com_ref.h"
#include "framework/io/stream_helpers.h"
#include "framework/maths/expression_functions.h"
#include "framework/maths/expression_parser.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"

#include <cmath>
#include <string>

namespace {

class ExpressionParserTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        parser = testsupport::module_object<IExpressionParser>(
            ExpressionParser_GetClassObject, CLSID_ExpressionParser, IID_IExpressionParser);
        ASSERT_TRUE(parser);
        ASSERT_EQ(OmNewExpression(expression.put()), 0);
    }
    void TearDown() override {
        parser.reset();
        expression.reset();
        FrameworkTest::TearDown();
    }
    OmResult parse(const std::string& text) {
        return parser->ExpressionParser_ParseText(text.c_str(), expression.get());
    }
    // The text's value, NaN when it does not parse or evaluate.
    float value_of(const std::string& text) {
        float value = NAN;
        if (parse(text) < 0 || expression->Expression_Evaluate(&value) < 0) return NAN;
        return value;
    }

    ComRef<IExpressionParser> parser;
    ComRef<IExpression> expression;
};

TEST_F(ExpressionParserTest, TextsEvaluateToTheirValues) {
    struct Row {
        const char* text;
        float value;
    };
    const Row rows[] = {
        {"2 + 3 * 4", 14},
        {"(2 + 3) * 4", 20},
        {"10 - 4 - 3", 3},
        {"1 + 0 && 0", 0},
        {"0 && 0 + 1", 1},
        {"0 || 1 - 1", 0},
        {"-2 * 3", -6},
        {"2 * -3", -6},
        {"+5", 5},
        {"- (1 + 2)", -3},
        {"!0 + 1", 2},
        {"1 < 2 == 1", 1},
        {"3 > 2 > 1", 0},
        {"8 / 2 / 2", 2},
        {"7 % 3", 1},
        {"-7 % 3", -1},
        {"7.9 % 2.5", 1},
        {"pow(2, 3)", 8},
        {"pow(2, 1 + 2) * 2", 16},
        {"sin(90)", 1},
        {"cos(0)", 1},
        {"tan(45)", 1},
        {"sqrt(16)", 4},
        {"abs(-3)", 3},
        {"range(5, 3, 1)", 3},
        {"range(0, 3, 1)", 1},
        {"range(2, 1, 3)", 3},
        {"wrap(370, 360, 0)", 10},
        {"wrap(-10, 360, 0)", -10},
        {"wrap(725, 360, 0)", 5},
        {"wrap(5, 2, 2)", 5},
        {"1.", 1},
        {".5", 0.5f},
        {"2e3", 2000},
        {"2.5E-1f", 0.25f},
        {"7f", 7},
        {"12UL", 12},
        {"0x10", 0},
        {"1)", 1},
        {"x = 3", 3},
        {"x = 2; x * x", 4},
        {"a = 1; b = a + 1; a + b", 3},
        {"sin (0)", 0},
        {"\t1\n+\r\n2  ", 3},
    };
    for (const Row& row : rows) EXPECT_NEAR(value_of(row.text), row.value, 1e-5f) << row.text;
}

TEST_F(ExpressionParserTest, SyntaxErrorsFailTheParse) {
    const char* const texts[] = {
        "pow(2)", "pow(2, 3, 4)", "foo(1)",   "3 = x", "x = y = 3", "(1 + 2",
        "sin(1",  "2 $ 3",        "random()", "1 = 2", "(x) = 1",   "x = (1",
    };
    for (const char* text : texts) EXPECT_EQ(parse(text), OM_E_FAIL) << text;
}

TEST_F(ExpressionParserTest, EmptyStatementsFailTheEvaluation) {
    for (const char* text : {"", "   ", "1;", "x = 1;", ";"}) {
        EXPECT_EQ(parse(text), 0) << text;
        float value;
        EXPECT_EQ(expression->Expression_Evaluate(&value), OM_E_FAIL) << text;
    }
}

TEST_F(ExpressionParserTest, AFaultyProgramFailsWhenEvaluated) {
    for (const char* text : {"1 2 3 4", "* 2", "--1", "1 % 0"}) {
        EXPECT_EQ(parse(text), 0) << text;
        float value;
        EXPECT_EQ(expression->Expression_Evaluate(&value), OM_E_FAIL) << text;
    }
    // Each pending operand takes a stack place: 40 nested levels need more than 32.
    std::string deep;
    for (int i = 0; i < 40; ++i) deep += "1 + (";
    deep += "1" + std::string(40, ')');
    EXPECT_EQ(parse(deep), 0);
    float value;
    EXPECT_EQ(expression->Expression_Evaluate(&value), OM_E_FAIL);
}

TEST_F(ExpressionParserTest, LongIdentifiersAreRefused) {
    const std::string longest(79, 'v'), too_long(80, 'v');
    EXPECT_EQ(parse(longest + " = 4; " + longest + " + 1"), 0);
    float value = 0;
    EXPECT_EQ(expression->Expression_Evaluate(&value), 0);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(parse(too_long), OM_E_FAIL);
    EXPECT_EQ(parse(too_long + " = 1"), OM_E_FAIL);
    EXPECT_EQ(parse(std::string(300, 'w') + "(1)"), OM_E_FAIL);
}

TEST_F(ExpressionParserTest, VariablesComeFromTheExpressionAndItsContext) {
    ASSERT_EQ(parse("volume = level * 2; volume + bias"), 0);
    ComRef<IObjHash> context;
    ASSERT_EQ(OmCreateObjHash(nullptr, context.put()), 0);
    context->SetReal("level", 3);
    context->SetReal("volume", 0);
    expression->Expression_SetContext(context.get());
    expression->Expression_SetVariable("bias", 0.5f);
    float value = 0;
    ASSERT_EQ(expression->Expression_Evaluate(&value), 0);
    EXPECT_EQ(value, 6.5f);
    EXPECT_EQ(context->GetReal("volume", 0), 6) << "the assignment reached the context";

    ComRef<IExpression> clone;
    ASSERT_EQ(expression->Expression_Clone(0, clone.put()), 0);
    clone->Expression_SetVariable("bias", 10);
    ASSERT_EQ(clone->Expression_Evaluate(&value), 0);
    EXPECT_EQ(value, 16);
    EXPECT_EQ(expression->Expression_GetVariable("bias"), 0.5f) << "the clone's own copy";
}

TEST_F(ExpressionParserTest, RandomDrawsWithinItsBounds) {
    ASSERT_EQ(parse("random(10, 5)"), 0);
    for (int i = 0; i < 50; ++i) {
        float value = 0;
        ASSERT_EQ(expression->Expression_Evaluate(&value), 0);
        ASSERT_GE(value, 5);
        ASSERT_LT(value, 10);
    }
}

TEST_F(ExpressionParserTest, SymbolsCanBeDefinedAndRemoved) {
    auto twice = [](float* a) -> OmResult {
        a[0] *= 2;
        return OM_S_OK;
    };
    EXPECT_EQ(parser->ExpressionParser_Define("twice", 1, twice, 3), 0);
    EXPECT_EQ(value_of("twice(4) + 1"), 9);
    EXPECT_EQ(parser->ExpressionParser_Undefine("twice"), 0);
    EXPECT_EQ(parse("twice(4)"), OM_E_FAIL);
    EXPECT_EQ(parser->ExpressionParser_Undefine("twice"), OM_E_FAIL);
    EXPECT_EQ(parser->ExpressionParser_Undefine("*"), 0);
    EXPECT_EQ(parse("2 * 3"), OM_E_FAIL) << "an operator whose symbol is gone";
}

TEST_F(ExpressionParserTest, StreamsParseFromTheirPosition) {
    ComRef<IByteStream> stream;
    ASSERT_EQ(OmCreateTextStream("ignored; 6 * 7", stream.put()), 0);
    stream->Seek(9, OM_SEEK_START, nullptr);
    ASSERT_EQ(parser->ExpressionParser_ParseStream(stream.get(), expression.get()), 0);
    float value = 0;
    ASSERT_EQ(expression->Expression_Evaluate(&value), 0);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(parse("1 + 1"), 0) << "the parser is reusable";
    ASSERT_EQ(expression->Expression_Evaluate(&value), 0);
    EXPECT_EQ(value, 2) << "the program was replaced";
}

} // namespace

// The maths and text groups register the classes of this folder and the lexers.
#include "framework/core/com_ref.h"
#include "framework/core/module_groups.h"
#include "framework/io/lex_analyser.h"
#include "framework/maths/expression_parser.h"
#include "framework/maths/random.h"
#include "framework/maths/std_c_maths.h"
#include "tests/support/framework_fixture.h"

namespace {

class MathsModulesTest : public testsupport::FrameworkTest {};

TEST_F(MathsModulesTest, TheGroupsMakeEveryClassByItsId) {
    ASSERT_EQ(OmRegisterMathsModules(OmGetObjectManager()), 0);
    ASSERT_EQ(OmRegisterTextModules(OmGetObjectManager()), 0);
    struct Row {
        const GUID* clsid;
        const GUID* iid;
    };
    const Row rows[] = {
        {&CLSID_Random, &IID_IRandom},
        {&CLSID_Expression, &IID_IExpression},
        {&CLSID_ExpressionParser, &IID_IExpressionParser},
        {&CLSID_StdCMaths, &IID_IMaths},
        {&CLSID_DFALexAnalyser, &IID_ILexAnalyser},
        {&CLSID_NFALexAnalyser, &IID_INFAStates},
    };
    for (const Row& row : rows) {
        ComRef<IUnknown> object;
        EXPECT_EQ(OmCreateInstance(*row.clsid, nullptr, 0, *row.iid, object.put_void()), 0)
            << row.clsid->Data1;
    }
}

} // namespace

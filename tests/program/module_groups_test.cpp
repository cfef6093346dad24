// The program's module groups: their start-up order and the classes they register.
#include "framework/containers/com_hash.h"
#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "framework/io/lex_analyser.h"
#include "framework/maths/expression_parser.h"
#include "framework/maths/random.h"
#include "framework/maths/std_c_maths.h"
#include "program/module_groups.h"
#include "tests/support/framework_fixture.h"

#include <string>
#include <vector>

namespace {

using ModuleGroupsTest = testsupport::FrameworkTest;

TEST_F(ModuleGroupsTest, GroupsRunInStartupOrder) {
    std::vector<std::string> names;
    for (const OmModuleGroup& group : OmModuleGroupsInStartupOrder()) names.push_back(group.name);
    EXPECT_EQ(names, (std::vector<std::string>{"display", "containers", "sound", "crypto", "web",
                                               "input", "maths", "memory", "network", "system",
                                               "storage", "text"}));
    EXPECT_EQ(OmModuleGroupsInStartupOrder()[1].register_modules, OmRegisterContainerModules);
}

TEST_F(ModuleGroupsTest, RegisteredGroupsCreateEveryBuiltInClass) {
    ASSERT_EQ(OmRegisterAllModuleGroups(OmGetObjectManager()), 0);
    struct Row {
        const GUID& clsid;
        const GUID& iid;
    };
    const Row rows[] = {{CLSID_COMHash, IID_ICOMHash}, {CLSID_ObjHash, IID_IObjHash},
                        {CLSID_Int, IID_IInt},         {CLSID_Ptr, IID_IPtr},
                        {CLSID_Real, IID_IReal},       {CLSID_String, IID_IString},
                        {CLSID_Guid, IID_IGuidValue},  {CLSID_StdCMemory, IID_IMemory}};
    for (const Row& row : rows) {
        ComRef<IUnknown> object;
        EXPECT_EQ(OmCreateInstance(row.clsid, nullptr, 0, row.iid, object.put_void()), 0);
    }
    // The neutral memory id reaches the one allocator object.
    ComRef<IMemory> memory;
    ASSERT_EQ(OmCreate(CLSID_Memory, IID_IMemory, memory.put()), 0);
    EXPECT_EQ(memory.get(), OmGetAllocator());
    EXPECT_EQ(static_cast<StdCMemory*>(memory.get())->ref_count(), 2u);
}

TEST_F(ModuleGroupsTest, TheMathsAndTextGroupsMakeTheirClassesByTheirIds) {
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

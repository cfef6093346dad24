// The StdCMaths singleton and its forwarding operations.
#include "framework/core/com_ref.h"
#include "framework/maths/std_c_maths.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"

namespace {

class StdCMathsTest : public testsupport::FrameworkTest {};

TEST_F(StdCMathsTest, IsOneSharedObjectMadeAgainAfterTheLastRelease) {
    ComRef<IMaths> a =
        testsupport::module_object<IMaths>(StdCMaths_GetClassObject, CLSID_StdCMaths, IID_IMaths);
    ASSERT_TRUE(a);
    ComRef<IMaths> b;
    ASSERT_EQ(StdCMaths_RegisterClasses(OmGetObjectManager()), 0);
    ASSERT_EQ(OmCreate(CLSID_Maths, IID_IMaths, b.put()), 0) << "redirected to StdCMaths";
    EXPECT_EQ(a.get(), b.get());
    a.reset();
    b.reset();
    ASSERT_EQ(OmCreate(CLSID_StdCMaths, IID_IMaths, a.put()), 0);
    EXPECT_EQ(a->AddRef(), 2u) << "a fresh object after the last release";
    a->Release();
}

TEST_F(StdCMathsTest, OperationsForwardToTheRoutines) {
    ComRef<IMaths> maths =
        testsupport::module_object<IMaths>(StdCMaths_GetClassObject, CLSID_StdCMaths, IID_IMaths);
    ASSERT_TRUE(maths);
    EXPECT_NEAR(maths->Maths_Sin(30), 0.5f, 1e-6f);
    EXPECT_NEAR(maths->Maths_Cos(90), 0, 1e-6f);
    EXPECT_NEAR(maths->Maths_Tan(45), 1, 1e-6f);
    EXPECT_EQ(maths->Maths_Sqrt(4), 2.0f);
    EXPECT_FLOAT_EQ(maths->Maths_Pow(3, 3), 27);
    OmMatrix m;
    const OmVector3 z{0, 0, 1};
    EXPECT_EQ(maths->Maths_MatrixRotate(&m, &z, 90, OM_COMBINE_REPLACE), 0);
    OmVector3 axis, centre;
    float degrees = 0;
    maths->Maths_MatrixQueryRotate(&m, &axis, &degrees, &centre);
    EXPECT_NEAR(degrees, 90, 1e-3f);
    EXPECT_NEAR(axis.z, 1, 0.05f);
    OmVector3 p{1, 0, 0};
    maths->Maths_TransformPoint(&p, &m);
    EXPECT_NEAR(p.y, 1, 1e-6f);
    OmVector3 unit;
    const OmVector3 v{0, 0, 0};
    maths->Maths_Normalize(&unit, &v);
    EXPECT_EQ(unit.x, 1);
}

} // namespace

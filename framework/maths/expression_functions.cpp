// The expression language's functions: float arguments, double intermediates.
#include "framework/maths/expression_functions.h"

#include "framework/core/object_manager.h"
#include "framework/maths/maths_functions.h"
#include "framework/maths/random.h"

#include <climits>
#include <cmath>

namespace {

// Truncation toward zero as the processor does it: NaN and values outside the 32-bit range
// give the most negative integer rather than undefined behaviour.
int32_t truncate_to_int32(double x) {
    if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
    return int32_t(x);
}

float truth(bool value) {
    return value ? 1.0f : 0.0f;
}

} // namespace

OmResult OmExpressionAdd(float* a) {
    a[0] = float(double(a[0]) + double(a[1]));
    return OM_S_OK;
}
OmResult OmExpressionSubtract(float* a) {
    a[0] = float(double(a[0]) - double(a[1]));
    return OM_S_OK;
}
OmResult OmExpressionMultiply(float* a) {
    a[0] = float(double(a[0]) * double(a[1]));
    return OM_S_OK;
}
OmResult OmExpressionDivide(float* a) {
    a[0] = float(double(a[0]) / double(a[1]));
    return OM_S_OK;
}

OmResult OmExpressionRemainder(float* a) {
    int32_t dividend = truncate_to_int32(a[0]);
    int32_t divisor = truncate_to_int32(a[1]);
    // Both would trap in the integer division.
    if (divisor == 0 || (dividend == INT32_MIN && divisor == -1)) return OM_E_FAIL;
    a[0] = float(dividend % divisor);
    return OM_S_OK;
}

OmResult OmExpressionNegate(float* a) {
    a[0] = -a[0];
    return OM_S_OK;
}
OmResult OmExpressionNot(float* a) {
    a[0] = truth(a[0] == 0);
    return OM_S_OK;
}
OmResult OmExpressionAnd(float* a) {
    a[0] = truth(a[0] != 0 && a[1] != 0);
    return OM_S_OK;
}
OmResult OmExpressionOr(float* a) {
    a[0] = truth(a[0] != 0 || a[1] != 0);
    return OM_S_OK;
}
OmResult OmExpressionEqual(float* a) {
    a[0] = truth(a[0] == a[1]);
    return OM_S_OK;
}
OmResult OmExpressionLess(float* a) {
    a[0] = truth(a[0] < a[1]);
    return OM_S_OK;
}
OmResult OmExpressionGreater(float* a) {
    a[0] = truth(a[0] > a[1]);
    return OM_S_OK;
}
OmResult OmExpressionAbs(float* a) {
    if (a[0] < 0) a[0] = -a[0];
    return OM_S_OK;
}
OmResult OmExpressionSqrt(float* a) {
    a[0] = float(std::sqrt(double(a[0])));
    return OM_S_OK;
}
OmResult OmExpressionPow(float* a) {
    a[0] = OmPow(a[0], a[1]);
    return OM_S_OK;
}
OmResult OmExpressionSin(float* a) {
    a[0] = OmSinDeg(a[0]);
    return OM_S_OK;
}
OmResult OmExpressionCos(float* a) {
    a[0] = OmCosDeg(a[0]);
    return OM_S_OK;
}
OmResult OmExpressionTan(float* a) {
    a[0] = OmTanDeg(a[0]);
    return OM_S_OK;
}

OmResult OmExpressionRange(float* a) {
    if (a[0] > a[1]) a[0] = a[1];
    if (a[0] < a[2]) a[0] = a[2];
    return OM_S_OK;
}

OmResult OmExpressionWrap(float* a) {
    double d = double(a[0]) - a[2];
    double span = double(a[1]) - a[2];
    // An empty span would divide by zero; x has nowhere to fold to and stays.
    if (span == 0) return OM_S_OK;
    int32_t n = truncate_to_int32(d / span);
    a[0] = float(d - double(n) * span + a[2]);
    return OM_S_OK;
}

OmResult OmExpressionRandom(float* a) {
    auto* random = static_cast<IRandom*>(OmLookupGlobalObject(OM_EXPRESSION_RANDOM_ID));
    if (!random) {
        OmResult r = OmNewRandom(&random);
        if (r < 0) return r;
        // The manager takes over the reference and keeps the object for the rest of the run.
        if ((r = OmRegisterGlobalObject(OM_EXPRESSION_RANDOM_ID, random)) < 0) {
            random->Release();
            return r;
        }
    }
    double r = random->Random_NextReal();
    a[0] = float((double(a[0]) - a[1]) * r + a[1]);
    return OM_S_OK;
}

const ExpressionBuiltin om_expression_builtins[21] = {
    {"+", 2, 1, OmExpressionAdd},       {"-", 2, 1, OmExpressionSubtract},
    {"*", 2, 2, OmExpressionMultiply},  {"/", 2, 2, OmExpressionDivide},
    {"%", 2, 2, OmExpressionRemainder}, {"unary-", 1, 3, OmExpressionNegate},
    {"!", 1, 3, OmExpressionNot},       {"||", 2, 1, OmExpressionOr},
    {"&&", 2, 1, OmExpressionAnd},      {"random", 2, 3, OmExpressionRandom},
    {"sin", 1, 3, OmExpressionSin},     {"cos", 1, 3, OmExpressionCos},
    {"tan", 1, 3, OmExpressionTan},     {"sqrt", 1, 3, OmExpressionSqrt},
    {"pow", 2, 3, OmExpressionPow},     {"range", 3, 3, OmExpressionRange},
    {"wrap", 3, 3, OmExpressionWrap},   {"abs", 1, 3, OmExpressionAbs},
    {"==", 2, 0, OmExpressionEqual},    {"<", 2, 0, OmExpressionLess},
    {">", 2, 0, OmExpressionGreater},
};

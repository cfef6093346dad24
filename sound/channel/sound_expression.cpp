// Reading a sound's expression.
#include "sound/channel/sound_expression.h"

#include "framework/core/com_ref.h"
#include "framework/maths/expression_parser.h"

#include <vector>

OmResult OmSoundFilePath(IPropertySheet* sheet, const char* key, const char* directory, size_t max,
                         std::string* path) {
    if (!sheet || !path) return OM_E_FAIL;
    const uint32_t length = sheet->GetStringLength(key);
    std::vector<char> value(length ? length : 1);
    OmResult r = sheet->GetString(key, value.data(), uint32_t(value.size()));
    if (r < 0) return r;
    *path = directory ? directory : "";
    *path += value.data();
    return path->size() > max ? OM_E_FAIL : OM_S_OK;
}

OmResult OmReadSoundExpression(IPropertySheet* sheet, IFileStorage* storage, const char* directory,
                               IExpression** out) {
    if (!sheet || !out) return OM_E_FAIL;
    *out = nullptr;
    const bool has_text = sheet->GetStringLength("Function") != 0;
    if (!has_text && sheet->GetStringLength("FunctionFile") == 0) return OM_S_OK;

    ComRef<IExpressionParser> parser;
    OmResult r = OmNewExpressionParser(parser.put());
    if (r < 0) return r;
    ComRef<IExpression> expression;
    r = OmNewExpression(expression.put());
    if (r < 0) return r;
    if (has_text) {
        char text[SOUND_FUNCTION_TEXT_MAX + 1];
        r = sheet->GetString("Function", text, sizeof text);
        if (r < 0) return r;
        r = parser->ExpressionParser_ParseText(text, expression.get());
    } else {
        std::string path;
        r = OmSoundFilePath(sheet, "FunctionFile", directory, SOUND_FUNCTION_TEXT_MAX, &path);
        if (r < 0) return r;
        if (!storage) return OM_E_FAIL;
        ComRef<IByteStream> stream;
        r = storage->Open(path.c_str(), OM_OPEN_READ, OM_OPEN_BINARY, stream.put());
        if (r < 0) return r;
        r = parser->ExpressionParser_ParseStream(stream.get(), expression.get());
    }
    if (r < 0) return r;
    *out = expression.detach();
    return OM_S_OK;
}

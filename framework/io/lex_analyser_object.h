// The token state every analyser keeps (text, data, id, input) and the analyser operations
// built on a class's longest-match routine.
#pragma once

#include "framework/core/byte_buffer.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/io/lex_nfa.h"
#include "framework/io/stream_helpers.h"

#include <cstring>

// Room kept beyond a token's length when the text buffer grows.
inline constexpr uint32_t OM_LEX_TEXT_SLACK = 101;

// Base of an analyser class `Derived` whose interfaces are `Front...` then ILexAnalyser.
// Derived either defines `OmResult longest_match(IByteStream*, LexMatch*)`, giving the
// matching operations their meaning, or not (the null analyser), in which case they fail.
template <class Derived, class... Front>
class LexAnalyserObject : public OmObject<Derived, Front..., ILexAnalyser> {
    static constexpr bool matches = requires(Derived * d, IByteStream* s, LexMatch* m) {
        d->longest_match(s, m);
    };

public:
    ~LexAnalyserObject() {
        if (input_) input_->Release();
        OmByteBufferFree(&text_);
        OmByteBufferFree(&data_);
    }

    int32_t MatchWhole(const char* text) override {
        if constexpr (matches) {
            ComRef<IByteStream> stream;
            if (!text || OmCreateTextStream(text, stream.put()) < 0) return 0;
            LexMatch match;
            if (self()->longest_match(stream.get(), &match) < 0 || !match.found) return 0;
            return match.length == std::strlen(text) ? match.token_id : 0;
        } else {
            (void)text;
            return OM_E_FAIL;
        }
    }

    OmResult SetInput(IByteStream* stream) override {
        if constexpr (!matches) return OM_E_FAIL;
        if (stream) stream->AddRef();
        if (input_) input_->Release();
        input_ = stream;
        return OM_S_OK;
    }
    IByteStream* GetInput() override { return input_; }

    OmResult NextToken(int32_t* token_id) override {
        if constexpr (matches) {
            if (!input_) return OM_E_FAIL;
            LexMatch match;
            OmResult r = self()->longest_match(input_, &match);
            if (r < 0) return r;
            uint32_t length = match.found && match.token_id > 0 ? match.length : 0;
            if ((r = reserve_text(length)) < 0) return r;
            if (length) {
                uint32_t done = 0;
                r = input_->Read(text_.data, length, &done);
                if (done != length) return r < 0 ? r : OM_E_FAIL;
            }
            text_.data[length] = '\0';
            int32_t id = match.found ? match.token_id : 0;
            token_id_ = id;
            if (match.found && match.callback) {
                r = match.callback(this, id, &id);
                token_id_ = id;
                if (r < 0) return r;
            }
            if (token_id) *token_id = id;
            return OM_S_OK;
        } else {
            (void)token_id;
            return OM_E_FAIL;
        }
    }

    int32_t GetTokenId() override { return token_id_; }

    OmResult SetTokenText(const char* text) override {
        if (!text) return OM_E_FAIL;
        uint32_t length = uint32_t(std::strlen(text));
        OmResult r = reserve_text(length);
        if (r < 0) return r;
        std::memmove(text_.data, text, length + 1);
        return OM_S_OK;
    }
    const char* GetTokenText() override {
        return text_.data ? reinterpret_cast<const char*>(text_.data) : "";
    }

    int32_t MatchText(const char* text, uint32_t* length) override {
        if (length) *length = 0;
        ComRef<IByteStream> stream;
        if (!text || OmCreateTextStream(text, stream.put()) < 0) return 0;
        return MatchStream(stream.get(), length);
    }

    int32_t MatchStream(IByteStream* stream, uint32_t* length) override {
        if (length) *length = 0;
        if constexpr (matches) {
            if (!stream) return OM_E_FAIL;
            for (;;) {
                LexMatch match;
                OmResult r = self()->longest_match(stream, &match);
                if (r == OM_E_ENDOFSTREAM) return 0;
                if (r < 0) return r;
                if (match.found) {
                    if (length) *length = match.length;
                    return match.token_id;
                }
                uint8_t skipped;
                uint32_t done = 0;
                r = stream->Read(&skipped, 1, &done);
                if (done == 0) return r == OM_E_ENDOFSTREAM || r >= 0 ? 0 : r;
            }
        } else {
            (void)stream;
            return OM_E_FAIL;
        }
    }

    const void* GetTokenData(uint32_t* length) override {
        if (length) *length = data_length_;
        return data_.data;
    }
    OmResult SetTokenData(const void* data, uint32_t length) override {
        if (!data && length) return OM_E_FAIL;
        if (length > data_.size) {
            OmResult r = OmByteBufferAlloc(&data_, length);
            if (r < 0) return r;
        }
        if (length) std::memcpy(data_.data, data, length);
        data_length_ = length;
        return OM_S_OK;
    }

    uint32_t GetTokenLength() override { return uint32_t(std::strlen(GetTokenText())); }
    OmResult Unsupported15() override { return OM_E_FAIL; }
    OmResult Unsupported16() override { return OM_E_FAIL; }
    OmResult Reserved17() override { return OM_S_OK; }
    OmResult Unsupported18() override { return OM_E_FAIL; }

protected:
    ILexAnalyser* analyser() { return this; }

private:
    Derived* self() { return static_cast<Derived*>(this); }

    // Room for `length` characters and the NUL; the text itself is not kept.
    OmResult reserve_text(uint32_t length) {
        if (text_.data && length < text_.size) return OM_S_OK;
        if (length > UINT32_MAX - OM_LEX_TEXT_SLACK) return OM_E_OUTOFMEMORY;
        return OmByteBufferAlloc(&text_, length + OM_LEX_TEXT_SLACK);
    }

    int32_t token_id_ = 0;
    OmByteBuffer text_{};
    OmByteBuffer data_{};
    uint32_t data_length_ = 0;
    IByteStream* input_ = nullptr;
};

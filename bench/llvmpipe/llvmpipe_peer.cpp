// OpenGL on llvmpipe drawing the rasteriser workloads with our device's states.
#include "bench/llvmpipe/llvmpipe_peer.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace rasterbench {
namespace {

// The vertex buffer holds D3DTLVERTEX records unchanged: x, y, z, rhw in screen space, the
// diffuse and specular colours as BGRA bytes, u, v. The shader maps screen pixels to clip
// space with w = 1/rhw, so coverage and perspective match the device's; colour and fog are
// interpolated linearly in screen space as the device does, texture coordinates with
// perspective. Row 0 of the framebuffer is the top row, as in our surfaces.
constexpr const char* kVertexShader = R"(
layout(location = 0) in vec4 position;
layout(location = 1) in vec4 diffuse;
layout(location = 2) in vec4 specular;
layout(location = 3) in vec2 uv;
uniform vec2 half_size;
COLOUR_QUALIFIER out vec4 colour;
noperspective out float fog;
out vec2 tex_coord;
void main() {
    float w = 1.0 / position.w;
    vec3 ndc = vec3(position.x / half_size.x - 1.0, position.y / half_size.y - 1.0,
                    position.z * 2.0 - 1.0);
    gl_Position = vec4(ndc * w, w);
    colour = diffuse;
    fog = specular.a;
    tex_coord = uv;
}
)";

// Texture colour times diffuse, alpha from the diffuse colour (the device's MODULATE /
// SELECTARG2); the colour key is an alpha test on the keyed texture's alpha; vertex fog.
constexpr const char* kFragmentShader = R"(
uniform sampler2D tex;
uniform vec3 fog_colour;
uniform int alpha_ref;
uniform int alpha_mask;
COLOUR_QUALIFIER in vec4 colour;
noperspective in float fog;
in vec2 tex_coord;
out vec4 frag;
void main() {
    vec4 c = colour;
#if TEXTURED
    vec4 t = texture(tex, tex_coord);
#if KEYED
    if (t.a <= 0.0) discard;
#endif
    c.rgb *= t.rgb;
#if MODULATE_ALPHA
    c.a *= t.a;
#endif
#endif
#if ALPHA_TEST
    int a = int(c.a * 255.0 + 0.5);
    bool pass = (a < alpha_ref && (alpha_mask & 1) != 0) || (a == alpha_ref && (alpha_mask & 2) != 0)
             || (a > alpha_ref && (alpha_mask & 4) != 0);
    if (!pass) discard;
#endif
#if FOG
    c.rgb = mix(fog_colour, c.rgb, fog);
#endif
    frag = c;
}
)";

int count_llvmpipe_threads() {
    int n = 0;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return 0;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        char path[300], name[64] = {};
        std::snprintf(path, sizeof(path), "/proc/self/task/%s/comm", e->d_name);
        if (FILE* f = std::fopen(path, "r")) {
            if (std::fgets(name, sizeof(name), f) && std::strncmp(name, "llvmpipe", 8) == 0) ++n;
            std::fclose(f);
        }
    }
    closedir(dir);
    return n;
}

GLuint compile(GLenum kind, const std::string& source, std::string& error) {
    GLuint s = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(s, 1, &text, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetShaderInfoLog(s, sizeof(log), nullptr, log);
        error = log;
        glDeleteShader(s);
        return 0;
    }
    return s;
}

// 565 widened to 8 bits a channel by bit replication, as the device decodes texels.
void decode_565(uint16_t p, uint8_t out[3]) {
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    out[0] = uint8_t(r << 3 | r >> 2);
    out[1] = uint8_t(g << 2 | g >> 4);
    out[2] = uint8_t(b << 3 | b >> 2);
}

} // namespace

struct LlvmpipePeer::Gl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0, colour = 0, depth = 0;
    uint32_t w = 0, h = 0;
    GLuint vao = 0, vbo = 0;
    GLsizei vertices = 0;
    GLuint texture = 0, keyed = 0;
    std::map<unsigned, GLuint> programs; // by variant bits
    std::vector<GLuint> textures;        // add_texture's, id = index + 1

    ~Gl() {
        if (context != EGL_NO_CONTEXT) {
            for (auto& [bits, p] : programs) glDeleteProgram(p);
            GLuint own[2] = {texture, keyed};
            glDeleteTextures(2, own);
            if (!textures.empty()) glDeleteTextures(GLsizei(textures.size()), textures.data());
            glDeleteBuffers(1, &vbo);
            glDeleteVertexArrays(1, &vao);
            release_target();
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(display, context);
        }
        if (display != EGL_NO_DISPLAY) eglTerminate(display);
    }

    void release_target() {
        glDeleteFramebuffers(1, &framebuffer);
        GLuint rb[2] = {colour, depth};
        glDeleteRenderbuffers(2, rb);
        framebuffer = colour = depth = 0;
    }

    // Feature bits of a shader variant.
    static constexpr unsigned kFlat = 1;
    static constexpr unsigned kTextured = 2;
    static constexpr unsigned kKeyed = 4;
    static constexpr unsigned kFog = 8;
    static constexpr unsigned kModulateAlpha = 16;
    static constexpr unsigned kAlphaTest = 32;
    static unsigned variant_of(Mode m) {
        return (m == Flat ? kFlat : kTextured) | (m == ColourKeyed ? kKeyed : 0) |
               (m == Fogged ? kFog : 0);
    }

    GLuint program(unsigned bits, std::string& error) {
        if (auto it = programs.find(bits); it != programs.end()) return it->second;
        auto define = [bits](const char* name, unsigned bit) {
            return std::string("#define ") + name + ((bits & bit) ? " 1\n" : " 0\n");
        };
        std::string header = "#version 330\n";
        header += std::string("#define COLOUR_QUALIFIER ") +
                  ((bits & kFlat) ? "flat" : "noperspective") + "\n";
        header += define("TEXTURED", kTextured) + define("KEYED", kKeyed) + define("FOG", kFog) +
                  define("MODULATE_ALPHA", kModulateAlpha) + define("ALPHA_TEST", kAlphaTest);
        GLuint vs = compile(GL_VERTEX_SHADER, header + kVertexShader, error);
        GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, header + kFragmentShader, error) : 0;
        if (!fs) {
            if (vs) glDeleteShader(vs);
            return 0;
        }
        GLuint p = glCreateProgram();
        glAttachShader(p, vs);
        glAttachShader(p, fs);
        glLinkProgram(p);
        glDeleteShader(vs);
        glDeleteShader(fs);
        GLint ok = 0;
        glGetProgramiv(p, GL_LINK_STATUS, &ok);
        if (!ok) {
            char log[2048] = {};
            glGetProgramInfoLog(p, sizeof(log), nullptr, log);
            error = log;
            glDeleteProgram(p);
            return 0;
        }
        programs[bits] = p;
        return p;
    }

    // Every mip level of the benchmark texture, in 565 or, keyed, as RGBA with alpha 0 on
    // the key (the raw texel 0).
    GLuint make_texture(bool keyed_form) {
        GLuint t = 0;
        glGenTextures(1, &t);
        glBindTexture(GL_TEXTURE_2D, t);
        int level = 0;
        for (uint32_t size = kTextureSize; size >= 1; size /= 2, ++level) {
            std::vector<uint16_t> raw(size * size);
            for (uint32_t y = 0; y < size; ++y)
                for (uint32_t x = 0; x < size; ++x) raw[y * size + x] = texel_565(x, y);
            if (keyed_form) {
                std::vector<uint8_t> rgba(raw.size() * 4);
                for (size_t i = 0; i < raw.size(); ++i) {
                    decode_565(raw[i], &rgba[i * 4]);
                    rgba[i * 4 + 3] = raw[i] == 0 ? 0 : 255;
                }
                glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, GLsizei(size), GLsizei(size), 0,
                             GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
            } else {
                glTexImage2D(GL_TEXTURE_2D, level, GL_RGB565, GLsizei(size), GLsizei(size), 0,
                             GL_RGB, GL_UNSIGNED_SHORT_5_6_5, raw.data());
            }
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, level - 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        return t;
    }
};

std::unique_ptr<LlvmpipePeer> LlvmpipePeer::open(int threads, std::string& error) {
    // llvmpipe reads these when its screen is made, at eglInitialize.
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    if (threads >= 0)
        setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
    else
        unsetenv("LP_NUM_THREADS");

    std::unique_ptr<LlvmpipePeer> peer(new LlvmpipePeer);
    peer->requested_ = threads;
    peer->gl_ = std::make_unique<Gl>();
    Gl& g = *peer->gl_;
    auto get_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!get_display) {
        error = "EGL has no eglGetPlatformDisplayEXT";
        return nullptr;
    }
    g.display = get_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (g.display == EGL_NO_DISPLAY || !eglInitialize(g.display, &major, &minor)) {
        g.display = EGL_NO_DISPLAY;
        error = "no surfaceless EGL display (Mesa's EGL missing?)";
        return nullptr;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL refuses desktop OpenGL";
        return nullptr;
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 3,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                 EGL_NONE};
    g.context = eglCreateContext(g.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (g.context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(g.display, EGL_NO_SURFACE, EGL_NO_SURFACE, g.context)) {
        error = "no OpenGL 3.3 context without a surface";
        return nullptr;
    }
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    peer->renderer_ = renderer ? renderer : "";
    if (peer->renderer_.find("llvmpipe") == std::string::npos) {
        error = "the OpenGL renderer is not llvmpipe but \"" + peer->renderer_ + "\"";
        return nullptr;
    }

    glGenVertexArrays(1, &g.vao);
    glBindVertexArray(g.vao);
    glGenBuffers(1, &g.vbo);
    glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
    constexpr GLsizei stride = sizeof(D3DTLVERTEX);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<void*>(offsetof(D3DTLVERTEX, sx)));
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<void*>(offsetof(D3DTLVERTEX, color)));
    glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<void*>(offsetof(D3DTLVERTEX, specular)));
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<void*>(offsetof(D3DTLVERTEX, tu)));
    for (GLuint i = 0; i < 4; ++i) glEnableVertexAttribArray(i);

    g.texture = g.make_texture(false);
    g.keyed = g.make_texture(true);
    // The device's fixed states: LESSEQUAL z with writes, no culling, flat colour from the
    // first vertex, no dithering (the device does not dither).
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelStorei(GL_PACK_ALIGNMENT, 2);
    glFinish();
    if (glGetError() != GL_NO_ERROR) {
        error = "OpenGL set-up failed";
        return nullptr;
    }
    peer->workers_ = count_llvmpipe_threads();
    return peer;
}

LlvmpipePeer::~LlvmpipePeer() = default;

bool LlvmpipePeer::set_target(uint32_t w, uint32_t h) {
    Gl& g = *gl_;
    if (g.framebuffer && g.w == w && g.h == h) return true;
    g.release_target();
    glGenFramebuffers(1, &g.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, g.framebuffer);
    GLuint rb[2];
    glGenRenderbuffers(2, rb);
    g.colour = rb[0];
    g.depth = rb[1];
    glBindRenderbuffer(GL_RENDERBUFFER, g.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB565, GLsizei(w), GLsizei(h));
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, g.colour);
    glBindRenderbuffer(GL_RENDERBUFFER, g.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, GLsizei(w), GLsizei(h));
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, g.depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        g.release_target();
        return false;
    }
    glViewport(0, 0, GLsizei(w), GLsizei(h));
    g.w = w;
    g.h = h;
    return true;
}

void LlvmpipePeer::set_mode(Mode m) {
    Gl& g = *gl_;
    std::string error;
    const GLuint p = g.program(Gl::variant_of(m), error);
    if (!p) {
        std::fprintf(stderr, "llvmpipe peer: shader: %s\n", error.c_str());
        return;
    }
    glUseProgram(p);
    glUniform2f(glGetUniformLocation(p, "half_size"), float(g.w) / 2, float(g.h) / 2);
    glUniform3f(glGetUniformLocation(p, "fog_colour"), float((kFogColour >> 16) & 255) / 255,
                float((kFogColour >> 8) & 255) / 255, float(kFogColour & 255) / 255);
    glUniform1i(glGetUniformLocation(p, "tex"), 0);
    if (m != Flat) {
        glBindTexture(GL_TEXTURE_2D, m == ColourKeyed ? g.keyed : g.texture);
        const bool linear = m == BilinearMip;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, linear ? GL_LINEAR : GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST);
    }
    if (m == AlphaBlended)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
}

uint32_t LlvmpipePeer::add_texture(const std::vector<PeerTextureLevel>& levels) {
    Gl& g = *gl_;
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    // 0xAARRGGBB words are B, G, R, A bytes in memory on this (little-endian) machine.
    for (size_t i = 0; i < levels.size(); ++i)
        glTexImage2D(GL_TEXTURE_2D, GLint(i), GL_RGBA8, GLsizei(levels[i].w), GLsizei(levels[i].h),
                     0, GL_BGRA, GL_UNSIGNED_BYTE, levels[i].texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL,
                    levels.empty() ? 0 : GLint(levels.size() - 1));
    g.textures.push_back(t);
    return uint32_t(g.textures.size());
}

uint32_t LlvmpipePeer::texture_count() const {
    return uint32_t(gl_->textures.size());
}

namespace {

GLenum compare_of(uint32_t d3d_cmp) {
    static constexpr GLenum kFuncs[] = {GL_NEVER,   GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                                        GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return d3d_cmp < 9 ? kFuncs[d3d_cmp] : GL_ALWAYS;
}

// D3DCMP_* as the shader's mask: bit 0 less, bit 1 equal, bit 2 greater.
int compare_mask_of(uint32_t d3d_cmp) {
    static constexpr int kMasks[] = {0, 0, 1, 2, 3, 4, 5, 6, 7};
    return d3d_cmp < 9 ? kMasks[d3d_cmp] : 7;
}

GLenum blend_of(uint32_t d3d_blend) {
    switch (d3d_blend) {
    case 1: return GL_ZERO;
    case 2: return GL_ONE;
    case 3: return GL_SRC_COLOR;
    case 4: return GL_ONE_MINUS_SRC_COLOR;
    case 5: return GL_SRC_ALPHA;
    case 6: return GL_ONE_MINUS_SRC_ALPHA;
    case 7: return GL_DST_ALPHA;
    case 8: return GL_ONE_MINUS_DST_ALPHA;
    case 9: return GL_DST_COLOR;
    case 10: return GL_ONE_MINUS_DST_COLOR;
    case 11: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum address_of(uint32_t d3d_address) {
    switch (d3d_address) {
    case 2: return GL_MIRRORED_REPEAT;
    case 3: return GL_CLAMP_TO_EDGE;
    case 4: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
    }
}

} // namespace

void LlvmpipePeer::set_state(const PeerState& s) {
    Gl& g = *gl_;
    const bool textured = s.texture != 0 && s.texture <= g.textures.size();
    unsigned bits =
        (s.flat ? Gl::kFlat : 0) | (s.fog ? Gl::kFog : 0) | (s.alpha_test ? Gl::kAlphaTest : 0);
    if (textured)
        bits |= Gl::kTextured | (s.keyed ? Gl::kKeyed : 0) |
                (s.modulate_alpha ? Gl::kModulateAlpha : 0);
    std::string error;
    const GLuint p = g.program(bits, error);
    if (!p) {
        std::fprintf(stderr, "llvmpipe peer: shader: %s\n", error.c_str());
        return;
    }
    glUseProgram(p);
    glUniform2f(glGetUniformLocation(p, "half_size"), float(g.w) / 2, float(g.h) / 2);
    glUniform3f(glGetUniformLocation(p, "fog_colour"), float((s.fog_colour >> 16) & 255) / 255,
                float((s.fog_colour >> 8) & 255) / 255, float(s.fog_colour & 255) / 255);
    glUniform1i(glGetUniformLocation(p, "tex"), 0);
    glUniform1i(glGetUniformLocation(p, "alpha_ref"), GLint(s.alpha_ref & 255));
    glUniform1i(glGetUniformLocation(p, "alpha_mask"), compare_mask_of(s.alpha_func));
    if (textured) {
        glBindTexture(GL_TEXTURE_2D, g.textures[s.texture - 1]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                        s.linear_mag ? GL_LINEAR : GL_NEAREST);
        static constexpr GLenum kMin[2][3] = {
            {GL_NEAREST, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST_MIPMAP_LINEAR},
            {GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_LINEAR}};
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        kMin[s.linear_min ? 1 : 0][s.mip < 0 || s.mip > 2 ? 0 : s.mip]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, address_of(s.address_u));
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, address_of(s.address_v));
    }
    if (s.blend) {
        glEnable(GL_BLEND);
        // Both-source-alpha factors set the destination factor themselves.
        if (s.src_blend == 12)
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        else if (s.src_blend == 13)
            glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
        else
            glBlendFunc(blend_of(s.src_blend), blend_of(s.dst_blend));
    } else {
        glDisable(GL_BLEND);
    }
    // Screen rows go to GL rows unflipped, so clockwise on screen is counter-clockwise to GL.
    if (s.cull == 2 || s.cull == 3) {
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glCullFace(s.cull == 2 ? GL_FRONT : GL_BACK);
    } else {
        glDisable(GL_CULL_FACE);
    }
    if (s.z_test) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(compare_of(s.z_func));
        glDepthMask(s.z_write ? GL_TRUE : GL_FALSE);
    } else {
        glDisable(GL_DEPTH_TEST); // which also leaves depth unwritten, as the device does
    }
}

void LlvmpipePeer::upload(const std::vector<D3DTLVERTEX>& v) {
    Gl& g = *gl_;
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(v.size() * sizeof(D3DTLVERTEX)), v.data(),
                 GL_STATIC_DRAW);
    g.vertices = GLsizei(v.size());
}

void LlvmpipePeer::draw() {
    glDrawArrays(GL_TRIANGLES, 0, gl_->vertices);
}

void LlvmpipePeer::draw_range(uint32_t first, uint32_t count) {
    glDrawArrays(GL_TRIANGLES, GLint(first), GLsizei(count));
}

void LlvmpipePeer::set_scissor(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x0, y0, x1 - x0, y1 - y0);
}

void LlvmpipePeer::clear_rect(bool colour, uint16_t rgb565, bool depth, float z) {
    uint8_t rgb[3];
    decode_565(rgb565, rgb);
    glClearColor(float(rgb[0]) / 255, float(rgb[1]) / 255, float(rgb[2]) / 255, 1);
    glClearDepth(z);
    glDepthMask(GL_TRUE); // clears obey the depth write mask
    glClear((colour ? GL_COLOR_BUFFER_BIT : 0) | (depth ? GL_DEPTH_BUFFER_BIT : 0));
}

void LlvmpipePeer::clear() {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void LlvmpipePeer::clear_depth() {
    glDisable(GL_SCISSOR_TEST);
    glDepthMask(GL_TRUE);
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
}

void LlvmpipePeer::finish() {
    glFinish();
}

void LlvmpipePeer::read(std::vector<uint16_t>& colour, std::vector<uint16_t>& depth) {
    const Gl& g = *gl_;
    colour.resize(size_t(g.w) * g.h);
    depth.resize(size_t(g.w) * g.h);
    glReadPixels(0, 0, GLsizei(g.w), GLsizei(g.h), GL_RGB, GL_UNSIGNED_SHORT_5_6_5, colour.data());
    glReadPixels(0, 0, GLsizei(g.w), GLsizei(g.h), GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT,
                 depth.data());
}

} // namespace rasterbench

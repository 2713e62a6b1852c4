#include "tests/render/gl_recorder.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdio>

namespace {

std::vector<std::string>& calls() {
    static std::vector<std::string> list;
    return list;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void add(const char* name, std::initializer_list<double> args) {
    std::string call = std::string(name) + "(";
    bool first = true;
    for (double arg : args) {
        call += (first ? "" : ",") + number(arg);
        first = false;
    }
    calls().push_back(call + ")");
}

void addNamed(const char* name, const char* constant) { calls().push_back(std::string(name) + "(" + constant + ")"); }

const char* modeName(GLenum mode) {
    switch (mode) {
    case GL_POINTS: return "GL_POINTS";
    case GL_LINES: return "GL_LINES";
    case GL_TRIANGLES: return "GL_TRIANGLES";
    case GL_QUADS: return "GL_QUADS";
    case GL_POLYGON: return "GL_POLYGON";
    case GL_TEXTURE_2D: return "GL_TEXTURE_2D";
    case GL_PROJECTION: return "GL_PROJECTION";
    case GL_MODELVIEW: return "GL_MODELVIEW";
    case GL_BLEND: return "GL_BLEND";
    case GL_ALPHA_TEST: return "GL_ALPHA_TEST";
    case GL_DEPTH_TEST: return "GL_DEPTH_TEST";
    case GL_CULL_FACE: return "GL_CULL_FACE";
    case GL_LIGHTING: return "GL_LIGHTING";
    case GL_BACK: return "GL_BACK";
    default: return "?";
    }
}

}  // namespace

const std::vector<std::string>& recordedCalls() { return calls(); }

void clearRecordedCalls() { calls().clear(); }

std::vector<std::string> recordedCallsStartingWith(const std::vector<std::string>& prefixes) {
    std::vector<std::string> found;
    for (const std::string& call : calls()) {
        for (const std::string& prefix : prefixes) {
            if (call.compare(0, prefix.size(), prefix) == 0) {
                found.push_back(call);
                break;
            }
        }
    }
    return found;
}

int countRecordedCalls(const std::string& prefix) {
    return static_cast<int>(recordedCallsStartingWith({prefix}).size());
}

extern "C" {

void glBegin(GLenum mode) { addNamed("glBegin", modeName(mode)); }
void glEnd() { add("glEnd", {}); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { add("glVertex3f", {x, y, z}); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { add("glColor3f", {r, g, b}); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { add("glColor4f", {r, g, b, a}); }
void glTexCoord2f(GLfloat u, GLfloat v) { add("glTexCoord2f", {u, v}); }
void glBindTexture(GLenum, GLuint texture) { add("glBindTexture", {static_cast<double>(texture)}); }
void glEnable(GLenum cap) { addNamed("glEnable", modeName(cap)); }
void glDisable(GLenum cap) { addNamed("glDisable", modeName(cap)); }
void glClear(GLbitfield mask) { add("glClear", {static_cast<double>(mask)}); }
void glShadeModel(GLenum) { add("glShadeModel", {}); }
void glMatrixMode(GLenum mode) { addNamed("glMatrixMode", modeName(mode)); }
void glLoadIdentity() { add("glLoadIdentity", {}); }
void glPushMatrix() { add("glPushMatrix", {}); }
void glPopMatrix() { add("glPopMatrix", {}); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { add("glViewport", {double(x), double(y), double(w), double(h)}); }
void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) { add("glOrtho", {l, r, b, t, n, f}); }
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) { add("glClearColor", {r, g, b, a}); }
void glClearDepth(GLclampd depth) { add("glClearDepth", {depth}); }
void glHint(GLenum target, GLenum mode) { add("glHint", {double(target), double(mode)}); }
void glDepthMask(GLboolean flag) { add("glDepthMask", {double(flag)}); }
void glAlphaFunc(GLenum, GLclampf ref) { add("glAlphaFunc", {ref}); }
void glDrawBuffer(GLenum mode) { addNamed("glDrawBuffer", modeName(mode)); }
void glCopyTexImage2D(GLenum, GLint, GLenum, GLint x, GLint y, GLsizei w, GLsizei h, GLint) {
    add("glCopyTexImage2D", {double(x), double(y), double(w), double(h)});
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    add("gluPerspective", {fovy, aspect, zNear, zFar});
}
void SDL_GL_SwapBuffers() { add("SDL_GL_SwapBuffers", {}); }

}  // extern "C"

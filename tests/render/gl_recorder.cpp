#include "tests/render/gl_recorder.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <algorithm>
#include <cstdio>

namespace {

std::vector<std::string>& recorded() {
    static std::vector<std::string> list;
    return list;
}

void add(const char* name, std::initializer_list<double> args) {
    std::string call = std::string(name) + "(";
    for (double arg : args) {
        char text[32];
        std::snprintf(text, sizeof text, "%s%g", call.back() == '(' ? "" : ",", arg);
        call += text;
    }
    recorded().push_back(call + ")");
}

void addNamed(const char* name, GLenum constant) {
    static const std::pair<GLenum, const char*> names[] = {
        {GL_POINTS, "GL_POINTS"}, {GL_LINES, "GL_LINES"}, {GL_TRIANGLES, "GL_TRIANGLES"}, {GL_QUADS, "GL_QUADS"},
        {GL_POLYGON, "GL_POLYGON"}, {GL_TEXTURE_2D, "GL_TEXTURE_2D"}};
    const char* text = "?";
    for (const auto& [value, label] : names) {
        text = value == constant ? label : text;
    }
    recorded().push_back(std::string(name) + "(" + text + ")");
}

bool startsWith(const std::string& call, const std::string& prefix) {
    return call.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

void clearCalls() { recorded().clear(); }

std::string calls(const std::vector<std::string>& prefixes) {
    std::string text;
    for (const std::string& call : recorded()) {
        if (prefixes.empty() || std::any_of(prefixes.begin(), prefixes.end(),
                                            [&](const std::string& prefix) { return startsWith(call, prefix); })) {
            text += (text.empty() ? "" : " ") + call;
        }
    }
    return text;
}

int countCalls(const std::string& prefix) {
    return int(std::count_if(recorded().begin(), recorded().end(),
                             [&](const std::string& call) { return startsWith(call, prefix); }));
}

extern "C" {
void glBegin(GLenum mode) { addNamed("glBegin", mode); }
void glEnd() { add("glEnd", {}); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { add("glVertex3f", {x, y, z}); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { add("glColor3f", {r, g, b}); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { add("glColor4f", {r, g, b, a}); }
void glTexCoord2f(GLfloat u, GLfloat v) { add("glTexCoord2f", {u, v}); }
void glBindTexture(GLenum, GLuint texture) { add("glBindTexture", {double(texture)}); }
void glEnable(GLenum cap) { addNamed("glEnable", cap); }
void glDisable(GLenum cap) { addNamed("glDisable", cap); }
void glClear(GLbitfield mask) { add("glClear", {double(mask)}); }
void glPushMatrix() { add("glPushMatrix", {}); }
void glPopMatrix() { add("glPopMatrix", {}); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    add("glViewport", {double(x), double(y), double(w), double(h)});
}
void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    add("glOrtho", {l, r, b, t, n, f});
}
void glHint(GLenum target, GLenum mode) { add("glHint", {double(target), double(mode)}); }
void glCopyTexImage2D(GLenum, GLint, GLenum, GLint x, GLint y, GLsizei w, GLsizei h, GLint) {
    add("glCopyTexImage2D", {double(x), double(y), double(w), double(h)});
}
// State the tests do not look at.
void glShadeModel(GLenum) {}
void glMatrixMode(GLenum) {}
void glLoadIdentity() {}
void glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {}
void glClearDepth(GLclampd) {}
void glDepthMask(GLboolean) {}
void glAlphaFunc(GLenum, GLclampf) {}
void glDrawBuffer(GLenum) {}
void gluPerspective(GLdouble, GLdouble, GLdouble, GLdouble) {}
void SDL_GL_SwapBuffers() { add("SDL_GL_SwapBuffers", {}); }
}  // extern "C"

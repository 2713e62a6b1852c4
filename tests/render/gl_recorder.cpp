#include "tests/render/gl_recorder.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <sstream>
#include <vector>

namespace {

std::vector<std::string>& recorded() {
    static std::vector<std::string> list;
    return list;
}

template <typename... Args>
void add(const char* name, Args... args) {
    std::ostringstream call;
    int count = 0;
    call << name << "(";
    ((call << (count++ ? "," : "") << args), ...);
    recorded().push_back(call.str() + ")");
}

}  // namespace

void clearCalls() { recorded().clear(); }

std::string calls() {
    std::string text;
    for (const std::string& call : recorded()) text += (text.empty() ? "" : " ") + call;
    return text;
}

extern "C" {
void glBegin(GLenum mode) { add("glBegin", mode); }
void glEnd() { add("glEnd"); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { add("glVertex3f", x, y, z); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { add("glColor3f", r, g, b); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { add("glColor4f", r, g, b, a); }
void glTexCoord2f(GLfloat u, GLfloat v) { add("glTexCoord2f", u, v); }
void glBindTexture(GLenum, GLuint texture) { add("glBindTexture", texture); }
void glEnable(GLenum cap) { add("glEnable", cap); }
void glDisable(GLenum cap) { add("glDisable", cap); }
void glClear(GLbitfield mask) { add("glClear", mask); }
void glPushMatrix() { add("glPushMatrix"); }
void glPopMatrix() { add("glPopMatrix"); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { add("glViewport", x, y, w, h); }
void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    add("glOrtho", l, r, b, t, n, f);
}
void glHint(GLenum target, GLenum mode) { add("glHint", target, mode); }
void glCopyTexImage2D(GLenum, GLint, GLenum, GLint x, GLint y, GLsizei w, GLsizei h, GLint) {
    add("glCopyTexImage2D", x, y, w, h);
}
void glDrawArrays(GLenum mode, GLint first, GLsizei count) { add("glDrawArrays", mode, first, count); }
// State the tests do not look at.
void glEnableClientState(GLenum) {}
void glDisableClientState(GLenum) {}
void glVertexPointer(GLint, GLenum, GLsizei, const GLvoid*) {}
void glColorPointer(GLint, GLenum, GLsizei, const GLvoid*) {}
void glShadeModel(GLenum) {}
void glMatrixMode(GLenum) {}
void glLoadIdentity() {}
void glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {}
void glClearDepth(GLclampd) {}
void glDepthMask(GLboolean) {}
void glAlphaFunc(GLenum, GLclampf) {}
void glDrawBuffer(GLenum) {}
void gluPerspective(GLdouble, GLdouble, GLdouble, GLdouble) {}
void SDL_GL_SwapBuffers() { add("SDL_GL_SwapBuffers"); }
}  // extern "C"

// The exact GL call sequences of the drawing surfaces, observed through a
// recording stand-in for OpenGL.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "render/draw_surface.h"
#include "tests/render/gl_recorder.h"

namespace {

using Calls = std::vector<std::string>;

const Calls kDrawCalls = {"glBegin", "glEnd", "glVertex", "glColor", "glTexCoord", "glBindTexture", "glEnable",
                          "glDisable"};

Calls drawCalls() { return recordedCallsStartingWith(kDrawCalls); }

Polygon polygonOf(std::initializer_list<Vertex> vertices) {
    Polygon polygon;
    polygon.vertices = vertices;
    return polygon;
}

Vertex vertexAt(float x, float y, float z, float r = 1, float g = 1, float b = 1, float a = 1) {
    Vertex v;
    v.x = x; v.y = y; v.z = z;
    v.r = r; v.g = g; v.b = b; v.a = a;
    return v;
}

class SurfaceCalls : public ::testing::Test {
protected:
    void SetUp() override { clearRecordedCalls(); }
    DrawSurface2D flat;
    DrawSurface3D deep;
};

}  // namespace

TEST_F(SurfaceCalls, ConsecutivePrimitivesShareOneBatchUntilTheKindChanges) {
    flat.drawPoint(1, 2, 0, 1, 0, 0, 1);
    flat.drawPoint(3, 4, 0, 1, 0, 0, 1);
    flat.drawLine(5, 6, 7, 8, 0.5f, 0, 1, 0);
    flat.drawTriangle(0, 0, 1, 0, 0, 1, 0, 1, 1, 1, 1);
    flat.drawTriangle(2, 2, 3, 2, 2, 3, 0, 1, 1, 1, 1);
    EXPECT_TRUE(flat.isBatchOpen());
    flat.endFrame();
    EXPECT_FALSE(flat.isBatchOpen());
    EXPECT_EQ(drawCalls(), (Calls{
        "glDisable(GL_TEXTURE_2D)", "glBegin(GL_POINTS)",
        "glColor4f(1,0,0,1)", "glVertex3f(1,2,0)", "glColor4f(1,0,0,1)", "glVertex3f(3,4,0)",
        "glEnd()", "glDisable(GL_TEXTURE_2D)", "glBegin(GL_LINES)",
        "glColor3f(0,1,0)", "glVertex3f(5,6,0.5)", "glVertex3f(7,8,0.5)",
        "glEnd()", "glDisable(GL_TEXTURE_2D)", "glBegin(GL_TRIANGLES)",
        "glColor4f(1,1,1,1)", "glVertex3f(0,0,0)", "glVertex3f(1,0,0)", "glVertex3f(0,1,0)",
        "glColor4f(1,1,1,1)", "glVertex3f(2,2,0)", "glVertex3f(3,2,0)", "glVertex3f(2,3,0)",
        "glEnd()"}));
    EXPECT_EQ(recordedCalls().back(), "SDL_GL_SwapBuffers()");

    clearRecordedCalls();  // with no batch open, frame edges call no glEnd
    flat.endFrame();
    flat.beginFrame();
    EXPECT_EQ(recordedCalls(), (Calls{"SDL_GL_SwapBuffers()", "glClear(16640)"}));
}

TEST_F(SurfaceCalls, RectanglesGoAroundTheirCorners) {
    flat.drawRect(10, 20, 30, 40, 0, 1, 0, 0, 1);
    deep.drawRect3(1, 2, 3, 4, 5, 6, 1, 1, 1, 1);
    EXPECT_EQ(recordedCallsStartingWith({"glVertex"}),
              (Calls{"glVertex3f(10,20,0)", "glVertex3f(10,40,0)", "glVertex3f(30,40,0)", "glVertex3f(30,20,0)",
                     "glVertex3f(1,2,3)", "glVertex3f(1,5,6)", "glVertex3f(4,5,6)", "glVertex3f(4,2,3)"}));
}

TEST_F(SurfaceCalls, QuadsBindTheirTextureOutsideABatch) {
    Quad quad;
    quad.setCorners(0, 0, 1, 8, 4, 3);
    quad.texture = 7;
    quad.texLeft = 0.25f;
    quad.texTop = 0.5f;
    quad.texWidth = 0.5f;
    quad.texHeight = 0.25f;
    deep.drawQuad3(quad, 1, 1, 1, 1, true);
    deep.drawQuad3(quad, 1, 1, 1, 1, true);
    deep.endBatch();
    const Calls oneQuad = {"glBindTexture(7)", "glEnable(GL_TEXTURE_2D)", "glBegin(GL_QUADS)", "glColor4f(1,1,1,1)",
                           "glTexCoord2f(0.25,0.5)", "glVertex3f(0,0,1)",
                           "glTexCoord2f(0.25,0.75)", "glVertex3f(0,4,3)",
                           "glTexCoord2f(0.75,0.75)", "glVertex3f(8,4,3)",
                           "glTexCoord2f(0.75,0.5)", "glVertex3f(8,0,1)", "glEnd()"};
    Calls twice = oneQuad;
    twice.insert(twice.end(), oneQuad.begin(), oneQuad.end());
    EXPECT_EQ(drawCalls(), twice);

    clearRecordedCalls();
    quad.texture = 0;
    flat.drawQuad(quad, 1, 0, 0, 1, false);  // 2-D corners sit at the quad's depth
    flat.drawQuad(quad, 1, 0, 0, 1, false);
    EXPECT_EQ(countRecordedCalls("glBegin"), 1);
    EXPECT_EQ(countRecordedCalls("glTexCoord2f"), 8);
    EXPECT_EQ(recordedCallsStartingWith({"glVertex"})[1], "glVertex3f(0,4,2)");
}

TEST_F(SurfaceCalls, ATexturedQuadWithoutItsTextureDrawsTheMarker) {
    Quad quad;
    quad.setCorners(0, 0, 0, 2, 2, 0);
    flat.drawQuad(quad, 1, 1, 0, 1, true);
    EXPECT_EQ(drawCalls(), (Calls{"glDisable(GL_TEXTURE_2D)", "glBegin(GL_QUADS)", "glColor4f(1,1,0,1)",
                                  "glVertex3f(0,0,0)", "glVertex3f(0,2,0)", "glVertex3f(2,2,0)", "glVertex3f(2,0,0)",
                                  "glVertex3f(0,0,0)", "glVertex3f(2,0,0)", "glVertex3f(0,2,0)",
                                  "glVertex3f(2,2,0)"}));
}

TEST_F(SurfaceCalls, PolygonsSendRepeatedColoursOnceAndCloseThemselves) {
    const Vertex red0 = vertexAt(0, 0, 0, 1, 0, 0, 1);
    const Vertex red1 = vertexAt(1, 0, 0, 1, 0, 0, 1);
    const Vertex red2 = vertexAt(0, 1, 0, 1, 0, 0, 1);
    flat.drawPolygon(polygonOf({red0, red1, red2}), false);
    EXPECT_FALSE(flat.isBatchOpen());
    EXPECT_EQ(countRecordedCalls("glColor4f"), 1);
    EXPECT_EQ(countRecordedCalls("glEnd"), 1);

    clearRecordedCalls();
    deep.drawPolygon(polygonOf({red0, vertexAt(1, 0, 0, 0, 1, 0, 1), vertexAt(0, 1, 0, 0, 0, 1, 1)}), false);
    EXPECT_EQ(countRecordedCalls("glColor4f"), 3);

    clearRecordedCalls();  // a red of exactly -1 is the cache's own marker, so it is always sent
    const Vertex marker = vertexAt(0, 0, 0, -1, 0, 0, 1);
    deep.drawPolygonTriangles3(polygonOf({marker, marker, marker}));
    EXPECT_EQ(countRecordedCalls("glColor4f"), 3);

    clearRecordedCalls();
    Polygon textured = polygonOf({red0, red1, red2});
    textured.texture = 3;
    textured.texCoords = {TexCoord{0, 0}, TexCoord{1, 0}};  // one short: the last vertex still draws
    flat.drawPolygon(textured, true);
    EXPECT_EQ(drawCalls(), (Calls{"glBindTexture(3)", "glEnable(GL_TEXTURE_2D)", "glBegin(GL_POLYGON)",
                                  "glColor4f(1,0,0,1)", "glTexCoord2f(0,0)", "glVertex3f(0,0,0)",
                                  "glColor4f(1,0,0,1)", "glTexCoord2f(1,0)", "glVertex3f(1,0,0)",
                                  "glColor4f(1,0,0,1)", "glTexCoord2f(0,0)", "glVertex3f(0,1,0)", "glEnd()"}));
}

TEST_F(SurfaceCalls, PolygonLinesPointsAndTriangles) {
    const Polygon five = polygonOf({vertexAt(0, 0, 0), vertexAt(1, 0, 0), vertexAt(2, 0, 0), vertexAt(3, 0, 0),
                                    vertexAt(4, 0, 0)});
    flat.drawPolygonLines(five);
    flat.beginRecording();
    flat.drawPolygonLines(five);
    flat.endRecording();
    EXPECT_TRUE(recordedCalls().empty());
    EXPECT_TRUE(flat.recordList().empty());

    Polygon four = five;
    four.vertices.pop_back();
    flat.drawPolygonLines(four);
    EXPECT_EQ(drawCalls(), (Calls{"glDisable(GL_TEXTURE_2D)", "glBegin(GL_LINES)", "glColor4f(1,1,1,1)",
                                  "glVertex3f(0,0,0)", "glVertex3f(1,0,0)", "glVertex3f(2,0,0)", "glVertex3f(3,0,0)"}));

    clearRecordedCalls();
    flat.drawPolygonPoints(four);  // the 2-D kind colours every point
    EXPECT_EQ(countRecordedCalls("glColor4f"), 4);
    clearRecordedCalls();
    deep.drawPolygonPoints(four);  // the 3-D kind uses the cache
    EXPECT_EQ(countRecordedCalls("glColor4f"), 1);

    clearRecordedCalls();
    const Polygon tri = polygonOf({vertexAt(0, 0, 0, 1, 0, 0), vertexAt(1, 0, 0, 0, 1, 0), vertexAt(0, 1, 0)});
    flat.drawPolygonTriangles(tri, 0.5f, 0.25f, 0, 1);
    EXPECT_EQ(recordedCallsStartingWith({"glColor"}), (Calls{"glColor4f(0.5,0.25,0,1)"}));
    clearRecordedCalls();
    flat.drawPolygonTriangles(tri, -1, 0, 0, 0);
    EXPECT_EQ(recordedCallsStartingWith({"glColor"}),
              (Calls{"glColor4f(1,0,0,1)", "glColor4f(0,1,0,1)", "glColor4f(1,1,1,1)"}));
}

TEST_F(SurfaceCalls, ThreeDimensionalPointsAndTargetsDoNothing) {
    deep.drawLine3(0, 0, 0, 1, 1, 1, 1, 1, 1, 1);
    clearRecordedCalls();
    deep.drawPoint(1, 2, 3, 1, 1, 1, 1);
    deep.beginTarget(0, 0, 64, 64, 1, 0, 0, 0, 0);
    deep.endTarget();
    deep.beginRecording();
    deep.drawPoint(1, 2, 3, 1, 1, 1, 1);
    EXPECT_TRUE(recordedCalls().empty());
    EXPECT_TRUE(deep.recordList().empty());
    EXPECT_TRUE(deep.isBatchOpen());
}

TEST_F(SurfaceCalls, RecordingDrawsNothingAndReplaysTheSameCalls) {
    Quad quad;
    quad.setCorners(1, 2, 0, 3, 4, 0);
    quad.texture = 9;
    const Polygon tri = polygonOf({vertexAt(0, 0, 0), vertexAt(1, 0, 0), vertexAt(0, 1, 0)});
    auto drawAll = [&] {
        flat.drawPoint(1, 2, 3, 1, 0, 0, 1);
        flat.drawLine(1, 2, 3, 4, 5, 0, 1, 0);
        flat.drawTriangle(1, 2, 3, 4, 5, 6, 7, 1, 1, 1, 1);
        flat.drawRectRGB(1, 2, 3, 4, 5, 1, 0, 1);
        flat.drawRect(1, 2, 3, 4, 5, 1, 0, 1, 0.5f);
        flat.drawQuad(quad, 1, 1, 1, 1, true);
        flat.drawPolygon(tri, true);
        flat.drawPolygon(tri, false);
        flat.drawPolygonLines(polygonOf({vertexAt(0, 0, 0), vertexAt(1, 1, 1)}));
        flat.drawPolygonPoints(tri);
        flat.drawPolygonTriangles(tri, 0.5f, 0.5f, 0.5f, 1);
        flat.endBatch();
    };
    drawAll();
    const Calls immediate = recordedCalls();

    clearRecordedCalls();
    flat.beginRecording();
    drawAll();
    flat.endRecording();
    EXPECT_TRUE(recordedCalls().empty());
    ASSERT_EQ(flat.recordList().size(), 11u);

    flat.flush(false, false);
    EXPECT_EQ(recordedCalls(), immediate);
    clearRecordedCalls();
    flat.flush(true, false);
    EXPECT_EQ(recordedCalls(), immediate);
    EXPECT_TRUE(flat.recordList().empty());
}

TEST_F(SurfaceCalls, ThreeDimensionalRecordsReplayWithTheirDepths) {
    deep.beginRecording();
    deep.drawLine3(0, 0, 1, 1, 1, 3, 1, 0, 0, 1);
    deep.drawRect3(0, 0, -4, 1, 1, -2, 0, 1, 0, 1);
    Quad quad;
    quad.setCorners(0, 0, 1, 1, 1, 1);
    quad.depth = 9;
    deep.drawQuad3(quad, 0, 0, 1, 1, false);
    deep.drawPolygonTriangles3(polygonOf({vertexAt(0, 0, 6), vertexAt(1, 0, 6), vertexAt(0, 1, 6)}));
    deep.endRecording();
    std::vector<float> depths;
    for (DrawRecord record : deep.recordList()) {
        depths.push_back(record.depthKey());
    }
    EXPECT_EQ(depths, (std::vector<float>{2, -3, 9, 6}));

    deep.flush(false, true);
    EXPECT_EQ(recordedCallsStartingWith({"glBegin"}),
              (Calls{"glBegin(GL_QUADS)", "glBegin(GL_LINES)", "glBegin(GL_TRIANGLES)", "glBegin(GL_QUADS)"}));
    EXPECT_EQ(recordedCallsStartingWith({"glVertex"})[4], "glVertex3f(0,0,1)");  // the line keeps its own z values
}

TEST_F(SurfaceCalls, DepthSortIsStable) {
    flat.beginRecording();
    flat.drawPoint(1, 0, 5, 1, 1, 1, 1);
    flat.drawPoint(2, 0, -2, 1, 1, 1, 1);
    flat.drawPoint(3, 0, 5, 1, 1, 1, 1);
    flat.drawPolygonPoints(Polygon());  // no vertices: no depth, sorted last
    flat.drawPoint(4, 0, 0, 1, 1, 1, 1);
    flat.flush(false, true);
    EXPECT_EQ(recordedCallsStartingWith({"glVertex"}),
              (Calls{"glVertex3f(2,0,-2)", "glVertex3f(4,0,0)", "glVertex3f(1,0,5)", "glVertex3f(3,0,5)"}));
    EXPECT_EQ(flat.recordList().size(), 5u);  // flushing while recording neither loops nor appends
    EXPECT_TRUE(flat.isRecording());
}

TEST_F(SurfaceCalls, RenderTargetsStackAndCopyTheirRectangles) {
    flat.setResolution(800, 600);
    flat.drawPoint(0, 0, 0, 1, 1, 1, 1);
    flat.beginTarget(0, 0, 64, 32, 11, 0, 0, 0, 0);
    flat.beginTarget(64, 0, 16, 8, 12, 0, 0, 0, 0);
    EXPECT_EQ(flat.activeTargetDepth(), 1);
    flat.beginTarget(0, 0, 0, 8, 13, 0, 0, 0, 0);  // empty: only closes the batch
    flat.endTarget();
    flat.endTarget();
    flat.endTarget();  // none left: nothing happens
    EXPECT_EQ(flat.activeTargetDepth(), -1);
    EXPECT_EQ(recordedCallsStartingWith({"glEnd", "glViewport", "glOrtho", "glBindTexture", "glCopyTexImage2D"}),
              (Calls{"glEnd()", "glViewport(0,0,64,32)", "glOrtho(0,64,0,32,-15,15)",
                     "glViewport(64,0,16,8)", "glOrtho(64,80,0,8,-15,15)",
                     "glBindTexture(12)", "glCopyTexImage2D(64,0,16,8)", "glViewport(0,0,800,600)",
                     "glBindTexture(11)", "glCopyTexImage2D(0,0,64,32)", "glViewport(0,0,800,600)"}));
    EXPECT_EQ(countRecordedCalls("glPushMatrix"), 2);
    EXPECT_EQ(countRecordedCalls("glPopMatrix"), 2);
}

TEST_F(SurfaceCalls, FlatStateIsOnePixelPerUnitFromTheTopLeft) {
    flat.resize(320, 200);
    EXPECT_EQ(recordedCallsStartingWith({"glOrtho", "glViewport", "glHint"}),
              (Calls{"glViewport(0,0,320,200)", "glOrtho(0,320,200,0,-128,128)", "glHint(3152,4354)"}));
}

TEST_F(SurfaceCalls, AssignmentTakesEverySetting) {
    deep.setResolution(800, 600);
    deep.beginRecording();
    deep.drawLine3(0, 0, 0, 1, 1, 1, 1, 1, 1, 1);
    DrawSurface3D copy;
    copy = deep;
    deep.clearRecording();
    EXPECT_EQ(copy.getWidth(), 800);
    EXPECT_EQ(copy.getHeight(), 600);
    EXPECT_TRUE(copy.isRecording());
    EXPECT_EQ(copy.recordList().size(), 1u);
}

TEST(SurfaceVideo, StartUpFailuresPrintTheirReason) {
    DrawSurface3D surface;
    surface.setResolution(800, 600);
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(surface.initialise());
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("Video initialization failed: ", 0), 0u);

    setenv("SDL_VIDEODRIVER", "dummy", 1);  // starts, but has no OpenGL
    testing::internal::CaptureStderr();
    EXPECT_FALSE(surface.initialise());
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("Video mode set failed: ", 0), 0u);
}

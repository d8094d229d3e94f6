// The window, the fixed OpenGL state, the camera and the input callbacks.
#include "viewer/ViewerWindow.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <vector>

#include "engine/CPictureLoader.h"
#include "engine/CSystem.h"
#include "viewer/ExitSignals.h"
#include "viewer/Multisampling.h"
#include "viewer/Scene.h"
#include "viewer/ViewerOptions.h"
#include "viewer/ViewerState.h"

namespace
{
bool exiting = false;
bool startFramed = false;                              // what R returns to
int panButton = -1;                                    // the button that started a pan
float lightScale = 1.0f;                               // the light's distance, in the designed one's
ViewerOptions shown;                                   // the command line of the models shown
std::size_t current = 0;                               // the model shown, of shown.models
auto lastWatch = std::chrono::steady_clock::now();     // when the model's files were last looked at

// Wheel notches arrive as presses of these buttons.
constexpr int kWheelForward = 3;
constexpr int kWheelBack = 4;

const GLfloat kLightPosition[] = {1.0f, 1.0f, 0.0f, 1.0f};

// The light stands where it does for the designed view; a framed view moves it in
// proportion to its distance, so that a model of any size is lit as the bundled one is.
void placeLight(float scale)
{
    lightScale = scale;
    const GLfloat position[] = {kLightPosition[0] * scale, kLightPosition[1] * scale, 0.0f, 1.0f};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, position);       // under the identity: fixed to the viewer
}

void designedView()
{
    framing = false;
    panTarget[0] = panTarget[1] = panTarget[2] = 0.0;
    cameraDistance = kStartDistance;
    cameraStep = kCameraStep;
    closestDistance = kMinCameraDistance;
    placeLight(1.0f);
    placeCamera();
    setProjection();
}

// The first free velk-<n>.png of the working folder; a link, even a broken one, is taken.
std::string freePictureName()
{
    for (unsigned long n = 1;; ++n) {
        const std::string name = "velk-" + std::to_string(n) + ".png";
        std::error_code error;
        if (std::filesystem::symlink_status(name, error).type() == std::filesystem::file_type::not_found)
            return name;
    }
}

// F12: the picture of the view as it stands, drawn once more into the back buffer.
void savePicture()
{
    const int width = static_cast<int>(windowWidth);
    const int height = static_cast<int>(windowHeight);
    if (width <= 0 || height <= 0)
        return;
    renderFrame();
    glFinish();
    CPicture picture = readBackBuffer(width, height);
    const std::string name = freePictureName();
    std::string error;
    if (writePicture(picture, name, error))
        std::cout << "velk-viewer: wrote " << name << std::endl;
    else
        std::cerr << "velk-viewer: " << name << " could not be written (" << error << ")" << std::endl;
}

// The model's facts for the corner block, a line each.
std::vector<std::string> infoLines()
{
    const SceneFacts& facts = sceneFacts();
    char times[2][64];
    std::snprintf(times[0], sizeof times[0], "load       %.3f s", static_cast<double>(facts.loadSeconds));
    std::snprintf(times[1], sizeof times[1], "frame      %.1f ms", lastFrameSeconds * 1000.0);
    return {facts.name,
            "vertices   " + std::to_string(facts.vertices),
            "triangles  " + std::to_string(facts.triangles),
            "groups     " + std::to_string(facts.groups),
            "pictures   " + std::to_string(facts.pictures),
            times[0],
            times[1]};
}

// The block in the top left corner, in GLUT's bitmap font on a pale panel, over whatever the
// scene drew; the scene's state is put back as it was.
void drawInfo()
{
    constexpr int kLine = 15, kCharacter = 9, kMargin = 6;  // GLUT_BITMAP_9_BY_15
    const std::vector<std::string> lines = infoLines();
    std::size_t longest = 0;
    for (const std::string& line : lines)
        longest = std::max(longest, line.size());
    const int top = static_cast<int>(windowHeight);
    const int bottom = top - static_cast<int>(lines.size()) * kLine - 2 * kMargin;

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    for (GLenum capability : {GL_LIGHTING, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_CULL_FACE, GL_BLEND, GL_COLOR_MATERIAL})
        glDisable(capability);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0.0, windowWidth, 0.0, windowHeight);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColor3f(0.94f, 0.94f, 0.94f);
    glRecti(0, bottom, static_cast<int>(longest) * kCharacter + 2 * kMargin, top);
    glColor3f(0.0f, 0.0f, 0.0f);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // The raster position is the baseline; the font reaches 3 pixels below it.
        glRasterPos2i(kMargin, top - kMargin - static_cast<int>(i + 1) * kLine + 4);
        glutBitmapString(GLUT_BITMAP_9_BY_15, reinterpret_cast<const unsigned char*>(lines[i].c_str()));
    }
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}

// GLUT's own clean-up runs from the at-exit list too and destroys the window and its
// context; it was registered after engineShutdown, so it would run first. Registered once
// more after the window exists, the engine shutdown runs before it, with the context
// still current, and GL objects can be released.
void shutdownWhileWindowExists()
{
    exiting = true;
    engineShutdown();
}

// The title of the model shown, once it has loaded or failed to.
void showTitle()
{
    if (shown.namesModel())
        glutSetWindowTitle(windowTitle(shown.models[current], current, shown.models.size(), sceneHasModel()).c_str());
}

// Right, Left: the model shown goes, with all it holds, before the next one loads, so that
// only one is ever in memory; the next is framed as if opened alone.
void showModel(std::size_t index)
{
    releaseScene();
    current = index;
    loadScene(shown.models[current], true);
    printLoadingLine();
    showTitle();
    startView(shown.framesAtStart());
    resetView();
}

// F5, or a change seen by --watch: the model read again, seen from where the view stood.
void reloadModel()
{
    const ModelBounds before = modelBounds;
    const bool hadModel = sceneHasModel();
    if (!reloadScene(shown.namesModel()))
        return;
    showTitle();
    if (!hadModel) {
        startView(shown.framesAtStart());
        resetView();
    } else {
        placeLight(static_cast<float>(lightScale * keepViewOnNewBounds(before, modelBounds)));
        placeCamera();
    }
}

// Every idle moment asks for the next frame, unless a termination signal asked the program
// to end: then it ends here, between two callbacks, as Escape ends it. Watching, it looks at
// the model's files about once a second.
void idle()
{
    if (exitSignal() != 0)
        std::exit(0);
    const auto now = std::chrono::steady_clock::now();
    if (shown.watch && now - lastWatch >= std::chrono::seconds(1)) {
        lastWatch = now;
        if (sceneFilesChanged())
            reloadModel();
    }
    glutPostRedisplay();
}

// A window manager's close button ends the program like Escape. GLUT also calls this
// while it destroys the window during exit; by then there is nothing more to do.
void closeWindow()
{
    if (!exiting)
        std::exit(0);
}
} // namespace

int runViewer(int argc, char** argv)
{
    const ViewerOptions options = startProgram(argc, argv, false, [](const ViewerOptions&) {});
    shown = options;
    showTitle();
    glutReshapeFunc(reshape);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(specialKeys);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);
    glutDisplayFunc(display);
    glutIdleFunc(idle);
    glutCloseFunc(closeWindow);
    startView(options.framesAtStart());
    glutMainLoop();
    return 0;
}

ViewerOptions startProgram(int argc, char** argv, bool snapshot, void (*betweenSteps)(const ViewerOptions&))
{
    ignoreClosedPipes();
    // Before anything large is allocated.
    VELK::CSystem::keepFreedMemoryInHeap();
    VELK::CSystem::growHeapInHugePages();
    const ViewerOptions options = readOptions(argc, argv, snapshot);
    const std::string model = modelPath(options);
    std::atexit(engineShutdown);
    catchExitSignals();
    const std::string title = snapshot                 ? "velk-snapshot"
                              : !options.namesModel() ? "My Window"
                                                      : windowTitle(model, 0, options.models.size(), true);
    int glutArgc = 1;                                  // GLUT gets no options of ours
    openWindow(glutArgc, argv, snapshot ? options.width : static_cast<int>(windowWidth),
               snapshot ? options.height : static_cast<int>(windowHeight), title.c_str());
    betweenSteps(options);
    engineStartup();
    startMultisampling(snapshot ? "velk-snapshot" : "velk-viewer", options.samplesAsked());
    initGLState();
    betweenSteps(options);
    loadScene(model, options.namesModel());
    if (!snapshot)
        printLoadingLine();                            // velk-snapshot says it in its own words
    upAxis = options.up;
    betweenSteps(options);
    return options;
}

void openWindow(int& argc, char** argv, int width, int height, const char* title)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(width, height);
    glutInitWindowPosition(50, 50);
    glutCreateWindow(title);
    std::atexit(shutdownWhileWindowExists);
}

std::string modelPath(const ViewerOptions& options)
{
    return options.namesModel() ? options.models.front() : kBundledModel;
}

void initGLState()
{
    glPolygonMode(GL_FRONT, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);

    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1.0f};
    const GLfloat diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat specular[] = {0.01f, 0.01f, 0.01f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);  // under the identity: fixed to the viewer

    placeCamera();
}

void placeCamera()
{
    if (framing)
        setProjection();
    const double d = cameraDistance;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(d, d, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
}

void renderFrame()
{
    beginMultisampledFrame(static_cast<int>(windowWidth), static_cast<int>(windowHeight));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glRotatef(rotationZ, 0.0f, 0.0f, 1.0f);
    glRotatef(rotationY, 0.0f, 1.0f, 0.0f);
    double placement[16];
    if (modelPlacement(placement))
        glMultMatrixd(placement);
    // A scale in the model-view matrix scales the normals with it.
    if (placementScale() != 1.0)
        glEnable(GL_NORMALIZE);
    else
        glDisable(GL_NORMALIZE);
    drawScene();
    glPopMatrix();
    if (infoShown)
        drawInfo();
    endMultisampledFrame();
}

void display()
{
    const auto start = std::chrono::steady_clock::now();
    renderFrame();
    glutSwapBuffers();
    lastFrameSeconds = std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();

    const GLenum error = glGetError();
    if (error != GL_NO_ERROR)
        std::cout << "OPENGL ERROR : " << gluErrorString(error) << std::endl;
}

void reshape(int width, int height)
{
    windowWidth = static_cast<float>(width);
    windowHeight = static_cast<float>(height);
    glViewport(0, 0, static_cast<GLsizei>(windowWidth), static_cast<GLsizei>(windowHeight));
    setProjection();
}

void setProjection()
{
    if (static_cast<int>(windowHeight) == 0)
        return;                                        // minimised: no aspect ratio to take
    double nearPlane = static_cast<double>(0.1f);
    double farPlane = 1000.0;
    // Framed, the model is drawn with a radius of 1 about the centre; turned about a point
    // panned away from it, it reaches that much farther.
    if (framing)
        clipPlanes(cameraDistance, 1.0 + std::hypot(panTarget[0], panTarget[1], panTarget[2]), nearPlane, farPlane);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(windowWidth / windowHeight), nearPlane, farPlane);
}

void startView(bool frame)
{
    startFramed = frame && modelBounds.known;
    if (startFramed)
        frameModel();
}

void frameModel()
{
    if (!modelBounds.known)
        return;
    const double aspect = windowHeight > 0.0f ? static_cast<double>(windowWidth / windowHeight) : 1.0;
    // The placement scales the model to a radius of 1: the eye stays at distances that GLU
    // and single precision hold, whatever the model's size.
    const double distance = fittingDistance(1.0, aspect);
    framing = true;
    panTarget[0] = panTarget[1] = panTarget[2] = 0.0;
    cameraDistance = static_cast<float>(distance);
    cameraStep = framedStep(distance);
    closestDistance = cameraStep;
    placeLight(static_cast<float>(distance / static_cast<double>(kStartDistance)));
    placeCamera();
}

void resetView()
{
    rotationY = 0.0f;
    rotationZ = 0.0f;
    if (startFramed)
        frameModel();
    else
        designedView();
}

CPicture readBackBuffer(int width, int height)
{
    CPicture picture(CMyVector<int, 2>(width, height), CPicture::FORMAT_BGR, nullptr);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, picture.pixels);
    picture.flipVertical();                           // GL rows start at the bottom
    return picture;
}

bool writePicture(CPicture& picture, const std::string& fileName, std::string& error)
{
    // The picture loader the factory holds keeps the image library started; this one only
    // writes.
    VELK::CPictureLoader writer;
    try {
        writer.saveToFile(&picture, fileName);
        return true;
    } catch (const std::exception& failure) {
        error = failure.what();
        return false;
    }
}

void keyboard(unsigned char key, int, int)
{
    float turnY = 0.0f, turnZ = 0.0f;
    if (key == 27) {
        std::exit(0);
    } else if (key == 'f' || key == 'F') {
        frameModel();
    } else if (key == 'r' || key == 'R') {
        resetView();
    } else if (key == 'i' || key == 'I') {
        infoShown = !infoShown;
    } else if (viewKeyTurn(key, turnY, turnZ)) {
        rotationY = turnY;
        rotationZ = turnZ;
        frameModel();
    }
}

void specialKeys(int key, int, int)
{
    if (key == kKeyF12)
        savePicture();
    if (key == kKeyF5)
        reloadModel();
    const std::size_t count = shown.models.size();
    if ((key == kKeyRight || key == kKeyPageDown) && count > 1)
        showModel((current + 1) % count);
    if ((key == kKeyLeft || key == kKeyPageUp) && count > 1)
        showModel((current + count - 1) % count);
    cameraDistance = stepCameraDistance(cameraDistance, key, cameraStep, closestDistance);
    placeCamera();
}

void mouse(int button, int state, int x, int y)
{
    if ((button == kWheelForward || button == kWheelBack) && state == GLUT_DOWN) {
        specialKeys(button == kWheelForward ? kKeyUp : kKeyDown, x, y);
        return;
    }
    if (state == GLUT_UP && button == panButton) {
        panButton = -1;
        releasePanButton();
        return;
    }
    const bool pans = button == GLUT_MIDDLE_BUTTON ||
                      (button == GLUT_LEFT_BUTTON && (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0);
    if (state == GLUT_DOWN && pans) {
        panButton = button;
        pressPanButton(x, y);
        return;
    }
    if (button != GLUT_LEFT_BUTTON)
        return;
    if (state == GLUT_DOWN)
        pressLeftButton(x, y);
    else if (state == GLUT_UP)
        releaseLeftButton();
}

void motion(int x, int y)
{
    dragTo(x, y);
    panTo(x, y);
    if (panning && framing)
        setProjection();
}

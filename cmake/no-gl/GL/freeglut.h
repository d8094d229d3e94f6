// Found instead of the system's header by tools/, debugging/, math/, engine/ and the unit tests.
#error "GL/freeglut.h: OpenGL, GLEW and GLUT belong to gl/ and viewer/; the engine's core speaks its own codes"

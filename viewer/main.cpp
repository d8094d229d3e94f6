// The viewer's entry point.
#include "viewer/ViewerWindow.h"

int main(int argc, char** argv)
{
    return runViewer(argc, argv);
}

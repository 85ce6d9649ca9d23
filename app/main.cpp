#include "application/Startup.h"

int main(int argc, char** argv)
{
    return Keldar::OndrixLumivane::runViewer(argc, argv);
}

#include "SearchApp.h"

// No arguments: the program reads nothing from its command line.
int main()
{
    tavolix::SearchApp app;
    app.initInstance();
    return app.exitInstance();
}

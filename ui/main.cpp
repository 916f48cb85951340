#include <cstdio>

int main()
{
    std::puts("Morvane: the window is not there yet; the libraries and their tests are.");
    return 0;
}

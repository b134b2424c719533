// kelvophotos: the command-line host of the photo store.
#include <cstdio>

int main(int argc, char** argv) {
    std::fprintf(stderr, "kelvophotos: not built yet\n");
    return 2;
}

#include <cstdio>

int main() {
    std::puts("tme: not yet built");
    return 2;
}

// The program of each layer's link check (CMakeLists.txt): it does nothing;
// what matters is that the layer's objects link against the layers below.
int main() {
    return 0;
}

// A shared object without the entry points of a component library.
extern "C" __attribute__((visibility("default"))) int corvel_not_a_component_library() {
    return 1;
}

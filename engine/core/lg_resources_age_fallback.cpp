// Ageing of the resources arena for builds that link rasters without the arena module: with
// nothing cached there is nothing to age. The arena's own definition replaces this one.
__attribute__((weak)) void LgResourcesAge() {}

// The driver's transform stage (stage 1 of every pipeline, installed by device request 9):
// immediate-mode vertices into the camera's space, their clip codes, and the projection and
// fog of the vertices inside the view volume.
#pragma once

// work: the LgIm3DWork record of the pipeline's instance stage.
void LgD3DTransformStage(void* work);

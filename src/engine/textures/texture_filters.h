// The fourteen operations of the texture graph: per-byte layer and image arithmetic, Offset,
// Ripple, Blur and Emboss, on N x N RGB images.
#pragma once

#include <cstdint>

namespace textures {

constexpr int kFilterCount = 14;

struct FilterDescriptor {
    char name[32];
    uint8_t input_count; // 1 or 2 (the layer operations also read their texture layer)
    uint8_t parameter_count;
    char parameter_names[8][32];
};
extern const FilterDescriptor kFilterDescriptors[kFilterCount];

// The descriptor row of a node type (101..104 are rows 0..3, 201..210 rows 4..13), or -1.
int texture_filter_row(uint8_t type);

// Computes a node's image into dst by its type: a and b are the input images, l the layer image
// (all-zero images stand in for absent ones; none may be null), p the node's parameters.
// Types without an operation leave dst unchanged. dst may not alias a, b or l.
void texture_filter_apply(uint8_t type, const uint8_t *a, const uint8_t *b, const uint8_t *l, const float *p, int n,
                          uint8_t *dst);

} // namespace textures

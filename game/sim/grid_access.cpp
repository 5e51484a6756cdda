#include "sim/grid_access.h"

#include "world/numeric.h"

int64_t cell_index(double position)
{
    return clamp_to_int32(position);
}

uint16_t cell_near(int64_t layer, int64_t row, int64_t column)
{
    if (layer < 0 || layer >= GRID_LAYERS || row < 0 || row >= GRID_SIZE || column < 0 ||
        column >= GRID_SIZE)
        return 0;
    return cell_at(static_cast<int>(layer), static_cast<int>(row), static_cast<int>(column));
}

uint16_t ramp_near(int64_t layer, int64_t row, int64_t column)
{
    return cell_near(layer, row, column) & CELL_RAMP_MASK;
}

Entity* player_entity()
{
    if (player_index < 0 || player_index >= ENTITY_SLOTS) return nullptr;
    return &entities[player_index];
}

Entity* bouncing_block()
{
    if (block_index < 0 || block_index >= ENTITY_SLOTS || block_index >= entity_count) return nullptr;
    Entity* block = &entities[block_index];
    return block->type == ENTITY_BLOCK ? block : nullptr;
}

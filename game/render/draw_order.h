// An order for drawing a solid frame's faces and discs that puts near ones early, so that
// fewer pixels are drawn over, and leaves every pixel as the scene's own order does.
#pragma once

// Drawn in the scene's order with the test "nearer than the buffer", a pixel ends with the
// nearest depth drawn there and, of equal ones, the colour of the first. The same comes
// out of any order that grows a run of consecutive items from one item outward, each
// next item either the one just before the run, drawn with ties winning (it precedes
// everything drawn so far), or the one just after it, drawn without (it follows all of
// them). This needs a buffer that starts farther than every depth drawn.
//
// Fills order[0 .. count) with such an order of the items 0 .. count - 1; the items
// before order[0] in the scene's order are the ones drawn with ties winning. The run
// starts at item start if that is one of them, else at the nearest item (largest
// nearness, the last of equals), and grows toward the side whose next item is nearer,
// before it on equal nearness: a scene lists each square's floor before what stands on
// it. A nearness that is not a number counts as farthest.
void order_nearest_first(const double* nearness, int count, int start, int* order);

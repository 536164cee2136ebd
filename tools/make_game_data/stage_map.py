"""The stage's 20x15 battle map: the cell values, their checks and the map file.

Cell values: 0 water (impassable), 1 open ground, 2 deploy, 3 goal (the enemy's
supplies), 4 tall grass (concealment), 5 sandbags (cover), 6 wall.
"""

from collections import deque

COLUMNS = 20
ROWS = 15

# Rows top to bottom. The river cuts the field in two and is crossed by two
# bridges; the supply dump sits in a walled yard at the top right.
MAP_ROWS = (
    "44411111100111144111",
    "44116611100111666111",
    "41116111100111611455",
    "11111441100111114445",
    "11441441100144116334",
    "11441111111144116334",
    "11111111100111116664",
    "44111111100111111111",
    "44411441100111441111",
    "11111441100145541111",
    "11111111111114441111",
    "11111111100111111441",
    "12211144100114441441",
    "12211144100114551111",
    "44411111100111111111",
)

# Starting cells of the six enemies, in placement order.
ENEMY_CELLS = ((11, 7), (17, 10), (5, 2), (7, 3), (14, 12), (18, 1))

WALKABLE = (1, 2, 3, 4, 5)


def cell_values():
    """The grid as a list of rows of ints."""
    return [[int(ch) for ch in row] for row in MAP_ROWS]


def step_allowed(origin, target):
    """The units' one-cell step rule: never between open ground and cover."""
    if target in (2, 3, 4):
        return True
    if target == 1:
        return origin != 5
    if target == 5:
        return origin != 1
    return False


def neighbours(x, y):
    for dx, dy in ((0, -1), (1, 0), (0, 1), (-1, 0)):
        nx, ny = x + dx, y + dy
        if 0 <= nx < COLUMNS and 0 <= ny < ROWS:
            yield nx, ny


def reachable_from(grid, start):
    """Cells a unit standing on start can walk to under the step rule."""
    seen = {start}
    queue = deque([start])
    while queue:
        x, y = queue.popleft()
        for nx, ny in neighbours(x, y):
            if (nx, ny) not in seen and step_allowed(grid[y][x], grid[ny][nx]):
                seen.add((nx, ny))
                queue.append((nx, ny))
    return seen


def cells_of(grid, value):
    return [(x, y) for y in range(ROWS) for x in range(COLUMNS) if grid[y][x] == value]


def check_map(grid):
    """Raise ValueError unless the map is playable as drawn."""
    if len(grid) != ROWS or any(len(row) != COLUMNS for row in grid):
        raise ValueError("the map must be %d columns by %d rows" % (COLUMNS, ROWS))
    deploys = cells_of(grid, 2)
    goals = cells_of(grid, 3)
    if not deploys or not goals:
        raise ValueError("the map needs deploy and goal cells")
    walkable = {(x, y) for y in range(ROWS) for x in range(COLUMNS) if grid[y][x] in WALKABLE}
    for x, y in ENEMY_CELLS:
        if (x, y) not in walkable:
            raise ValueError("enemy cell (%d, %d) is not walkable" % (x, y))
    # Every walkable cell can be reached from every deploy cell, and every
    # walkable cell can get back to the deploy cells (no dead-end traps).
    for start in deploys:
        missing = walkable - reachable_from(grid, start)
        if missing:
            raise ValueError("cells not reachable from %s: %s" % (start, sorted(missing)))
    for cell in sorted(walkable):
        if deploys[0] not in reachable_from(grid, cell):
            raise ValueError("no way back to the deploy cells from %s" % (cell,))


def map_file_text(grid):
    """One line of digits per row, as the game reads it."""
    return "".join("".join(str(v) for v in row) + "\n" for row in grid)

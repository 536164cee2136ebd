#!/usr/bin/python3 -B
"""Plays Velmora end to end under Wine in a private Xvfb with mouse clicks
only, checking each screen by pixels at known places of the 800x600 client
area; then closes the game and checks its log's memory dump.

    play_velmora.py --exe Velmora.exe --data game/data --work SCRATCH --tools tools
                    [--shots DIR] [--memory-log]
"""

import argparse
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "tools", "make_game_data"))

import map_picture  # noqa: E402  (the colours the pictures were drawn with)
import screen_art  # noqa: E402
import soldier_sprites  # noqa: E402
from memory_dump import live_blocks_in_last_dump  # noqa: E402
from screen_probe import colour_count, dark_count, near  # noqa: E402
from x_session import XSession, add_end_sign_arguments, end_sign_arguments  # noqa: E402

FRIEND = soldier_sprites.SIDES["friend"]["uniform"]
AERIAL = soldier_sprites.AERIAL                # only the Searcher carries a radio
WATER_CELL = (9 * 32 + 16, 2 * 32 + 16)        # a river cell of the stage map
DEPLOY_CELL = (1, 12)                          # the first deploy cell
TARGET_CELL = (3, 12)                          # open ground two cells east
LOSE_PLATE = (108, 195)                        # inside the lose plate, beside its text
CURSOR_CORNER = (255, 220, 110)                # the stage cursor's corner brackets
STAGE_ROW, LAUNCH = (700, 125), (700, 425)     # "ステージ1" and "作戦開始"
RETREAT, RETREAT_YES = (720, 458), (670, 458)  # "撤退" and "はい"
SEARCHER_BUTTON = (50, 540)
BUTTON_TOP_LIGHT = (30, 492)                   # the Searcher button's lit top edge


def cell_box(cell):
    x, y = cell
    return (32 * x, 32 * y, 32 * x + 31, 32 * y + 31)


def cell_centre(cell):
    return (32 * cell[0] + 16, 32 * cell[1] + 16)


def buttons_lit(shot):
    """The deploy buttons are drawn undimmed only while a deploy cell is picked."""
    return near(shot.getpixel(BUTTON_TOP_LIGHT), (250, 252, 255), 24)


def unit_selected(shot):
    """The panel shows a selected friendly unit's picture at (650, 186)."""
    return colour_count(shot, (650, 186, 673, 217), FRIEND, 12) > 20


def on_menu(shot):
    """The stage menu with nothing picked: the title field, no cursor."""
    return (near(shot.getpixel((720, 20)), screen_art.PANEL, 20)
            and near(shot.getpixel((20, 20)), screen_art.OLIVE, 20)
            and dark_count(shot, (645, 110, 795, 140)) > 150      # "ステージ1"
            and dark_count(shot, (645, 160, 795, 200)) == 0
            and not near(shot.getpixel((646, 101)), CURSOR_CORNER, 40))


def on_briefing(shot):
    return (near(shot.getpixel(WATER_CELL), map_picture.WATER, 30)   # the map preview
            and near(shot.getpixel((646, 101)), CURSOR_CORNER, 40)  # the stage cursor
            and dark_count(shot, (5, 485, 600, 580)) > 400            # name and briefing
            and dark_count(shot, (645, 410, 765, 440)) > 100)         # "作戦開始"


def on_sortie(shot):
    return near(shot.getpixel((210, 242)), (226, 180, 60), 30)       # the banner's stripe


def in_battle(shot):
    return (not on_sortie(shot)
            and near(shot.getpixel(WATER_CELL), map_picture.WATER, 30)
            and dark_count(shot, (650, 50, 740, 68)) > 60             # "残り時間："
            and dark_count(shot, (692, 444, 750, 472)) > 40)          # "撤退"


def troops_digits(shot):
    """How many digits the troop count shows: dark columns from x 740 on."""
    columns = [x for x in range(740, 800) if dark_count(shot, (x, 80, x, 98))]
    if not columns:
        return 0
    return 3 if max(columns) > 760 else 2 if max(columns) > 749 else 1


def friends_in(shot, cell):
    return colour_count(shot, cell_box(cell), FRIEND, 12)


def run(args):
    for folder in (args.work, args.shots):
        if folder and os.path.isdir(folder):
            shutil.rmtree(folder)
    shutil.copytree(args.data, args.work)
    session = XSession(args.tools)
    shots = {}

    # Generous limits: a step ends as soon as its screen is seen, and under a
    # loaded machine's software OpenGL a frame may take a few hundred ms.
    def step(name, what, predicate, timeout=120):
        try:
            shot = session.wait_for(what, predicate, timeout)
        except AssertionError as failure:
            shots["failed_at_" + name] = failure.args[1]   # kept for the reader
            raise AssertionError(failure.args[0]) from None
        shots[name] = shot
        print("seen: %s" % what, flush=True)
        return shot

    # The game reads the buttons once a frame; when a frame runs long (a
    # loaded machine), Wine hands it the press and the release together and
    # the click is not seen. Every click below is harmless to repeat: it is
    # made again, held longer, when its screen does not come.
    def click_then(name, what, where, predicate, button=1, tries=4, wait=30, hold=0.5):
        for attempt in range(tries):
            session.click(where[0], where[1], button, hold=hold * 2 ** attempt)
            try:
                return step(name, what, predicate, wait if attempt < tries - 1 else 120)
            except AssertionError:
                if attempt == tries - 1:
                    raise
                print("clicked again at %s for %s" % (where, what), flush=True)

    try:
        session.start_display()
        session.start_program(args.exe, args.work, os.path.join(args.work, "wine.out"),
                              end_signs=end_sign_arguments(args))
        session.find_window("Velmora", 180)
        step("menu", "the stage menu with ステージ1, nothing picked", on_menu)
        print("idle on the menu: %.2f of a processor core" % session.cpu_share(5.0), flush=True)

        click_then("briefing", "the briefing over the map preview", STAGE_ROW, on_briefing)
        # The sortie picture stays for 61 frames: its time on screen is the
        # game's real frame rate, seen from outside.
        for attempt in range(4):
            session.click(LAUNCH[0], LAUNCH[1], hold=0.5 * 2 ** attempt)
            shown, first = session.time_on_screen(on_sortie, 30 if attempt < 3 else 120)
            if shown is not None:
                shots["sortie"] = first
                break
            print("clicked again at %s for the sortie picture" % (LAUNCH,), flush=True)
        assert shown is not None, "the sortie picture did not come"
        print("seen: the sortie picture, on screen %.2f s: %.0f frames a second (load average %.1f, %d cores)"
              % (shown, 61 / shown, os.getloadavg()[0], os.cpu_count()), flush=True)
        battle = step("battle_start", "the battle", in_battle)
        assert troops_digits(battle) == 3, "troops do not start at three digits"
        assert friends_in(battle, DEPLOY_CELL) == 0, "a unit stands on the deploy cell before any deploy"
        assert not buttons_lit(battle), "the deploy buttons are not dimmed before a deploy cell is picked"

        click_then("deploy_cell", "the deploy buttons lit for the picked cell", cell_centre(DEPLOY_CELL),
                   buttons_lit)
        click_then("deployed", "a Searcher on the deploy cell, troops 90", SEARCHER_BUTTON,
                   lambda s: friends_in(s, DEPLOY_CELL) > 40 and troops_digits(s) == 2
                   and colour_count(s, cell_box(DEPLOY_CELL), AERIAL, 8) > 0)
        # Seen under load: a click read late lands on the map and drops the
        # selection, and a right click then sends nobody. Select the unit
        # again by clicking on it before each try.
        for attempt in range(3):
            if not unit_selected(session.screenshot()):
                click_then("selected", "the Searcher selected again", cell_centre(DEPLOY_CELL), unit_selected)
            try:
                click_then("moved", "the Searcher walked to the right-clicked cell", cell_centre(TARGET_CELL),
                           lambda s: friends_in(s, TARGET_CELL) > 40 and friends_in(s, DEPLOY_CELL) == 0,
                           button=3, tries=1, hold=0.5 * 2 ** attempt)
                break
            except AssertionError:
                if attempt == 2:
                    raise

        click_then("retreat", "the retreat question", RETREAT,
                   lambda s: dark_count(s, (640, 416, 780, 432)) > 60)
        click_then("lose", "the lose picture", RETREAT_YES,
                   lambda s: near(s.getpixel(LOSE_PLATE), (150, 36, 30), 30))
        step("menu_again", "the stage menu again, nothing picked", on_menu)

        click_then("briefing_again", "the briefing again", STAGE_ROW, on_briefing)
        click_then("sortie_again", "the sortie picture again", LAUNCH, on_sortie)
        second = step("battle_again", "a second battle", in_battle)
        assert troops_digits(second) == 3, "the second battle does not start with 100 troops"
        assert friends_in(second, DEPLOY_CELL) == 0 and friends_in(second, TARGET_CELL) == 0, \
            "units of the first battle are still on the map"
        assert not buttons_lit(second), "the second battle starts with a deploy cell picked"
        assert dark_count(second, (650, 50, 800, 68)) == dark_count(shots["battle_start"], (650, 50, 800, 68)), \
            "the second battle's clock does not start where the first one's did"

        session.key("alt+F4")
        code = session.wait_program_exit(180)
        assert code is not None, "the game did not end within 180 s of Alt+F4"
        assert code == 0, "the game did not end cleanly (exit %s)" % code
        print("seen: the game ended with 0", flush=True)
    finally:
        session.stop()
        if args.shots:
            os.makedirs(args.shots, exist_ok=True)
            for name, shot in shots.items():
                shot.save(os.path.join(args.shots, name + ".png"))

    if args.memory_log:
        with open(os.path.join(args.work, "Log.txt"), "rb") as f:
            live = live_blocks_in_last_dump(f.read().decode("cp932", "replace"))
        assert live == [], "live blocks at exit:\n" + "\n".join(live)
        print("seen: the memory dump at exit lists no live block", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--tools", required=True)
    parser.add_argument("--shots")
    parser.add_argument("--memory-log", action="store_true")
    add_end_sign_arguments(parser)
    args = parser.parse_args()
    for name in ("exe", "data", "work", "tools", "shots"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))
    started = time.time()
    run(args)
    print("played end to end in %.1f s" % (time.time() - started))


if __name__ == "__main__":
    main()

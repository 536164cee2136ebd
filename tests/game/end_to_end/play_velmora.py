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

import screen_art  # noqa: E402  (the colours the pictures were drawn with)
import soldier_sprites  # noqa: E402
from memory_dump import live_blocks_in_last_dump  # noqa: E402
from screen_probe import colour_count, dark_count, near  # noqa: E402
from x_session import XSession  # noqa: E402

FRIEND = soldier_sprites.SIDES["friend"]["uniform"]
WATER_CELL = (9 * 32 + 16, 2 * 32 + 16)        # a river cell of the stage map
DEPLOY_CELL = (1, 12)                          # the first deploy cell
TARGET_CELL = (4, 12)                          # open ground three cells east
LOSE_PLATE = (108, 195)                        # inside the lose plate, beside its text


def cell_box(cell):
    x, y = cell
    return (32 * x, 32 * y, 32 * x + 31, 32 * y + 31)


def on_menu(shot):
    return (near(shot.getpixel((720, 20)), screen_art.PANEL, 20)
            and dark_count(shot, (645, 110, 795, 140)) > 150      # "ステージ1"
            and dark_count(shot, (645, 160, 795, 200)) == 0)


def on_briefing(shot):
    return (near(shot.getpixel(WATER_CELL), (52, 104, 178), 30)   # the map preview
            and near(shot.getpixel((646, 101)), (236, 150, 30), 40)  # the stage cursor
            and dark_count(shot, (5, 485, 600, 580)) > 400            # name and briefing
            and dark_count(shot, (645, 410, 765, 440)) > 100)         # "作戦開始"


def on_sortie(shot):
    return near(shot.getpixel((210, 242)), (226, 180, 60), 30)       # the banner's stripe


def in_battle(shot):
    return (not on_sortie(shot)
            and near(shot.getpixel(WATER_CELL), (52, 104, 178), 30)
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
    if os.path.isdir(args.work):
        shutil.rmtree(args.work)
    shutil.copytree(args.data, args.work)
    session = XSession(args.tools)
    shots = {}

    def step(name, what, predicate, timeout=30):
        shot = session.wait_for(what, predicate, timeout)
        shots[name] = shot
        print("seen: %s" % what, flush=True)
        return shot

    try:
        session.start_display()
        session.start_program(os.path.abspath(args.exe), args.work, os.path.join(args.work, "wine.out"))
        session.find_window("Velmora", 60)
        step("menu", "the stage menu with ステージ1", on_menu, 60)

        session.click(700, 125)
        step("briefing", "the briefing over the map preview", on_briefing)

        session.click(700, 425)
        step("sortie", "the sortie picture", on_sortie, 10)
        battle = step("battle_start", "the battle", in_battle)
        assert troops_digits(battle) == 3, "troops do not start at three digits"
        assert friends_in(battle, DEPLOY_CELL) == 0, "a unit stands on the deploy cell before any deploy"

        deploy_x, deploy_y = 32 * DEPLOY_CELL[0] + 16, 32 * DEPLOY_CELL[1] + 16
        session.click(deploy_x, deploy_y)
        session.click(50, 540)                      # the Searcher button
        step("deployed", "a Searcher on the deploy cell, troops 90",
             lambda s: friends_in(s, DEPLOY_CELL) > 40 and troops_digits(s) == 2, 10)

        target_x, target_y = 32 * TARGET_CELL[0] + 16, 32 * TARGET_CELL[1] + 16
        session.click(target_x, target_y, button=3)
        step("moved", "the Searcher walked to the right-clicked cell",
             lambda s: friends_in(s, TARGET_CELL) > 40 and friends_in(s, DEPLOY_CELL) == 0, 15)

        session.click(720, 458)                     # "撤退"
        step("retreat", "the retreat question", lambda s: dark_count(s, (640, 416, 780, 432)) > 60, 10)
        session.click(670, 458)                     # "はい"
        step("lose", "the lose picture", lambda s: near(s.getpixel(LOSE_PLATE), (150, 36, 30), 30), 10)
        step("menu_again", "the stage menu again, nothing picked",
             lambda s: on_menu(s) and not near(s.getpixel((646, 101)), (236, 150, 30), 40), 15)

        session.click(700, 125)
        step("briefing_again", "the briefing again", on_briefing)
        session.click(700, 425)
        second = step("battle_again", "a second battle", in_battle)
        assert troops_digits(second) == 3, "the second battle does not start with 100 troops"
        assert friends_in(second, DEPLOY_CELL) == 0 and friends_in(second, TARGET_CELL) == 0, \
            "units of the first battle are still on the map"
        assert dark_count(second, (650, 50, 800, 68)) == dark_count(shots["battle_start"], (650, 50, 800, 68)), \
            "the second battle's clock does not start where the first one's did"

        session.key("alt+F4")
        code = session.wait_program_exit(30)
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
    args = parser.parse_args()
    started = time.time()
    run(args)
    print("played end to end in %.1f s" % (time.time() - started))


if __name__ == "__main__":
    main()

# Tests, tools and benchmarks.
#
# tests/<subsystem>/*.cpp              portable tests: a host executable (sanitizers on)
#                                      and, with tests/<subsystem>/win32/*.cpp, a Wine one
# tests/<subsystem>/host/*.cpp         joined to the host executable only
# tests/<subsystem>/win32/<group>/     a Wine executable of its own, run one at a time
#                                      (tests that open the main window share one desktop)
# tests/<subsystem>/win32/support/     helpers linked into every group executable of the
#                                      subsystem (recording fakes of neighbouring subsystems)
# tests/<subsystem>/programs/*.cpp     Windows programs that tests start; not tests themselves
# tests/support/                       helpers linked into every test executable
# tools/<name>/*.cpp                   host command-line tools
# bench/*.cpp                          host benchmarks, one executable each
set(KORVO_TEST_OUTPUT_DIR ${CMAKE_BINARY_DIR}/tests)
if(WIN32)
  set(KORVO_TEST_PREFIX "wine.")
elseif(KORVO_THREAD_SANITIZER)
  set(KORVO_TEST_PREFIX "tsan.")
else()
  set(KORVO_TEST_PREFIX "host.")
endif()

# Portable tests that start threads, per subsystem (with the helpers they need):
# the thread-checking build runs these. A subsystem that starts a thread adds
# its list here and its name to that build's subsystems in CMakeLists.txt.
set(KORVO_THREADED_TESTS_core
    tests/core/async_load_test.cpp
    tests/core/api_lock_test.cpp
    tests/core/handle_manager_test.cpp
    tests/core/pending_load_deletion_test.cpp
    tests/core/byte_ring_test.cpp)
set(KORVO_THREADED_TESTS_font
    tests/font/font_build_handoff_test.cpp)
set(KORVO_THREADED_TESTS_sound
    tests/sound/sound_system_test.cpp
    tests/sound/stream_sound_test.cpp
    tests/sound/sound_fakes.cpp)
set(KORVO_THREADED_TESTS_movie
    tests/movie/theora_player_test.cpp
    tests/movie/theora_frame_stock_test.cpp
    tests/movie/theora_test_movie.cpp
    tests/movie/movie_test_streams.cpp
    tools/theoramovie/theora_movie_writer.cpp)

if(WIN32)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(KORVO_GTEST_MAIN gtest_main gmock)
else()
  find_package(GTest REQUIRED)
  set(KORVO_GTEST_MAIN GTest::gtest_main GTest::gmock)
endif()

file(GLOB KORVO_TEST_SUPPORT CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/*.cpp)

include(${CMAKE_CURRENT_LIST_DIR}/KorvoWineTestRegistration.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/KorvoHarnessTests.cmake)

# Registers a built test executable with CTest; it runs in a scratch folder of its
# own (Log.txt and test files).
function(korvo_register_test name)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KORVO_TEST_OUTPUT_DIR})
  set(workdir ${CMAKE_BINARY_DIR}/testrun/${name})
  file(MAKE_DIRECTORY ${workdir})
  target_compile_definitions(${name} PRIVATE KORVO_TEST_SCRATCH_DIR="${workdir}")
  add_test(NAME ${KORVO_TEST_PREFIX}${name} COMMAND ${name} WORKING_DIRECTORY ${workdir})
  if(WIN32)
    korvo_require_googletest_program(${name})
    korvo_set_wine_test_limit(${KORVO_TEST_PREFIX}${name} 900)
  else()
    set_tests_properties(${KORVO_TEST_PREFIX}${name} PROPERTIES TIMEOUT 900)
  endif()
endfunction()

function(korvo_add_test_executable name)
  set(sources ${ARGN})
  add_executable(${name} ${sources} ${KORVO_TEST_SUPPORT})
  korvo_target_settings(${name})
  target_link_libraries(${name} PRIVATE korvo ${KORVO_GTEST_MAIN})
  korvo_register_test(${name})
endfunction()

function(korvo_add_thread_sanitizer_tests)
  foreach(sub ${KORVO_SUBSYSTEMS})
    if(NOT KORVO_THREADED_TESTS_${sub})
      continue() # a subsystem the threaded code needs, with no threads of its own
    endif()
    list(TRANSFORM KORVO_THREADED_TESTS_${sub} PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE sources)
    korvo_add_test_executable(${sub}_threaded_tests ${sources})
    # A report fails the test (ThreadSanitizer exits with 66 after reporting).
    set_tests_properties(${KORVO_TEST_PREFIX}${sub}_threaded_tests PROPERTIES
                         ENVIRONMENT "TSAN_OPTIONS=second_deadlock_stack=1")
  endforeach()
endfunction()

# The game's rules with the recording stand-in of the library (tests/game/fake_library.cpp)
# in place of the library: host build only, under the sanitizers.
function(korvo_add_game_tests)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/game/*.cpp)
  if(WIN32 OR NOT sources OR NOT VELMORA_RULE_SOURCES)
    return()
  endif()
  set(name game_tests)
  add_executable(${name} ${sources} ${VELMORA_RULE_SOURCES} ${KORVO_TEST_SUPPORT})
  korvo_target_settings(${name})
  target_link_libraries(${name} PRIVATE ${KORVO_GTEST_MAIN})
  korvo_register_test(${name})
endfunction()

function(korvo_add_all_tests)
  korvo_add_game_tests()
  foreach(sub ${KORVO_SUBSYSTEMS})
    set(dir ${PROJECT_SOURCE_DIR}/tests/${sub})
    if(NOT IS_DIRECTORY ${dir})
      continue()
    endif()
    file(GLOB portable CONFIGURE_DEPENDS ${dir}/*.cpp)
    set(sources ${portable})
    if(WIN32)
      file(GLOB platform CONFIGURE_DEPENDS ${dir}/win32/*.cpp)
      list(APPEND sources ${platform})
    else()
      # Host-only tests (they run host tools such as PIL and ImageMagick).
      file(GLOB host_only CONFIGURE_DEPENDS ${dir}/host/*.cpp)
      list(APPEND sources ${host_only})
    endif()
    if(sources)
      korvo_add_test_executable(${sub}_tests ${sources})
      if(WIN32 AND sub MATCHES "^(core|graphics|movie|model)$")
        # Their checks read the error log, which writes only once the platform
        # libraries are loaded.
        target_sources(${sub}_tests PRIVATE
                       ${PROJECT_SOURCE_DIR}/tests/support/win32/platform_libraries_environment.cpp)
      endif()
      if(sub STREQUAL "core" OR sub STREQUAL "image")
        # The library only reads KVA archives; its tests build theirs in-process
        # with the kvapack tool's writer and LZ encoder.
        target_sources(${sub}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/kvapack/kva_writer.cpp
                                            ${PROJECT_SOURCE_DIR}/tools/kvapack/kva_lz_encode.cpp)
      endif()
      if(sub STREQUAL "image" AND NOT WIN32)
        target_compile_definitions(${sub}_tests PRIVATE
          KORVO_FOREIGN_PICTURE_MAKER="${PROJECT_SOURCE_DIR}/tests/image/host/make_foreign_pictures.py")
      endif()
      if(sub STREQUAL "model")
        # The model tests run the buffer and texture code on the graphics tests'
        # recording stand-in of the device.
        target_sources(${sub}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/graphics/recording_device.cpp
                                            ${PROJECT_SOURCE_DIR}/tests/graphics/host_environment.cpp)
      endif()
      if(sub STREQUAL "movie")
        # The movie tests write their own Theora movies with the theoramovie tool's writer,
        # and play soundtracks through the sound tests' fake back-end.
        target_sources(${sub}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/theoramovie/theora_movie_writer.cpp
                                            ${PROJECT_SOURCE_DIR}/tests/sound/sound_fakes.cpp)
        if(NOT WIN32)
          # Movie handles reach the graph code, which the host build runs on the
          # graphics tests' stand-in of the device.
          target_sources(${sub}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/graphics/recording_device.cpp
                                              ${PROJECT_SOURCE_DIR}/tests/graphics/host_environment.cpp)
        endif()
      endif()
    endif()

    if(WIN32)
      file(GLOB group_support CONFIGURE_DEPENDS ${dir}/win32/support/*.cpp)
      file(GLOB groups LIST_DIRECTORIES true ${dir}/win32/*)
      foreach(group ${groups})
        get_filename_component(gname ${group} NAME)
        if(IS_DIRECTORY ${group} AND NOT gname STREQUAL "support")
          file(GLOB gsources CONFIGURE_DEPENDS ${group}/*.cpp)
          if(gsources)
            korvo_add_test_executable(${sub}_${gname}_tests ${gsources} ${group_support})
            if(sub STREQUAL "model")
              # Model records are built as a loader would, as in the portable tests.
              target_sources(${sub}_${gname}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/model/model_test_records.cpp)
            endif()
            if(sub STREQUAL "movie")
              target_sources(${sub}_${gname}_tests PRIVATE
                             ${PROJECT_SOURCE_DIR}/tools/theoramovie/theora_movie_writer.cpp
                             ${PROJECT_SOURCE_DIR}/tests/sound/sound_fakes.cpp)
            endif()
            if(sub STREQUAL "sound")
              # Their sounds are written with the portable sound tests' WAVE helpers.
              target_sources(${sub}_${gname}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/sound/sound_fakes.cpp)
            endif()
            if(sub STREQUAL "font" AND gname STREQUAL "forms")
              # A text draw whose work image is refused runs on the sound tests' heap.
              target_sources(${sub}_${gname}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/sound/refusing_heap.cpp)
            endif()
            set_tests_properties(${KORVO_TEST_PREFIX}${sub}_${gname}_tests PROPERTIES RESOURCE_LOCK wine_desktop)
          endif()
        endif()
      endforeach()
      file(GLOB programs CONFIGURE_DEPENDS ${dir}/programs/*.cpp)
      foreach(program ${programs})
        get_filename_component(pname ${program} NAME_WE)
        add_executable(${pname} WIN32 ${program})
        korvo_target_settings(${pname})
        target_link_libraries(${pname} PRIVATE korvo)
        set_target_properties(${pname} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KORVO_TEST_OUTPUT_DIR})
      endforeach()
    endif()
  endforeach()

  if(TARGET sound_tests)
    # The conversion tests decode an MP3 made by the Debian encoder from a known
    # sine, and the loader matrix files SoX and lame wrote.
    set(fixtures ${CMAKE_BINARY_DIR}/testrun/sound_fixtures)
    add_custom_command(OUTPUT ${fixtures}/sine_stereo_44100.mp3 ${fixtures}/sine_stereo_44100.raw
                              ${fixtures}/matrix/rows.txt
                       COMMAND bash ${PROJECT_SOURCE_DIR}/tools/make_sound_fixtures.sh ${fixtures}
                       DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_sound_fixtures.sh VERBATIM)
    add_custom_target(sound_fixtures DEPENDS ${fixtures}/sine_stereo_44100.mp3)
    add_dependencies(sound_tests sound_fixtures)
    target_compile_definitions(sound_tests PRIVATE KORVO_SOUND_FIXTURE_DIR="${fixtures}")
  endif()

  if(WIN32 AND TARGET movie_playback_tests)
    # The DirectShow road plays movies made by the Debian encoder; the Theora
    # player's pictures are checked against GStreamer's decode of movies its
    # encoder made and of one the theoramovie writer made (its picture at an
    # offset in the coded frame; the tool runs under Wine).
    set(movie_fixtures ${CMAKE_BINARY_DIR}/testrun/movie_fixtures)
    set(fixture_script ${PROJECT_SOURCE_DIR}/tools/make_movie_fixtures.sh)
    add_custom_command(OUTPUT ${movie_fixtures}/flat_colour.avi ${movie_fixtures}/scrolling_bars.avi
                              ${movie_fixtures}/sliding_bars.avi ${movie_fixtures}/odd_size_444.bgrx
                              ${movie_fixtures}/odd_size_420.bgrx
                       COMMAND bash ${fixture_script} ${movie_fixtures}
                       DEPENDS ${fixture_script} VERBATIM)
    add_custom_command(OUTPUT ${movie_fixtures}/picture_offset.bgrx
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${movie_fixtures}
                       COMMAND bash ${PROJECT_SOURCE_DIR}/tools/wine_exec.sh --output ${movie_fixtures}/picture_offset.ogv
                               $<TARGET_FILE:theoramovie> ${movie_fixtures}/picture_offset.ogv 5 --textured
                               --picture 50x30+10+6
                       COMMAND bash ${fixture_script} --decode ${movie_fixtures}/picture_offset.ogv
                               ${movie_fixtures}/picture_offset.bgrx
                       DEPENDS theoramovie ${fixture_script} VERBATIM)
    add_custom_target(movie_fixtures DEPENDS ${movie_fixtures}/flat_colour.avi ${movie_fixtures}/odd_size_420.bgrx
                                             ${movie_fixtures}/picture_offset.bgrx)
    add_dependencies(movie_playback_tests movie_fixtures)
    target_compile_definitions(movie_playback_tests PRIVATE KORVO_MOVIE_FIXTURE_DIR="${movie_fixtures}")
  endif()

  if(WIN32 AND TARGET movie_playback_tests)
    korvo_add_outside_program_test()
  endif()

  if(WIN32)
    korvo_add_harness_tests()
  endif()

  if(NOT WIN32)
    # The layers stay true: no file includes a header of a higher layer. The second
    # test plants upward includes in a scratch tree, one between subsystems and one
    # between the folders of graphics, and expects the check to report both.
    add_test(NAME ${KORVO_TEST_PREFIX}layer_check
             COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check_layers.sh ${PROJECT_SOURCE_DIR})
    set(planted ${CMAKE_BINARY_DIR}/testrun/layer_check_planted)
    file(REMOVE_RECURSE ${planted})
    file(MAKE_DIRECTORY ${planted}/image ${planted}/graphics/draw ${planted}/graphics/device)
    file(WRITE ${planted}/graphics/draw/draw_target.h "#pragma once\n")
    file(WRITE ${planted}/image/decode.cpp "#include \"graphics/draw/draw_target.h\"\n")
    file(WRITE ${planted}/graphics/device/format_slots.cpp "#include \"graphics/draw/draw_target.h\"\n")
    add_test(NAME ${KORVO_TEST_PREFIX}layer_check_planted
             COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check_layers.sh ${planted})
    set_tests_properties(${KORVO_TEST_PREFIX}layer_check_planted PROPERTIES PASS_REGULAR_EXPRESSION
      "graphics/device/format_slots.cpp \\(graphics/device\\) includes graphics/draw/draw_target.h \\(graphics/draw\\).*image/decode.cpp \\(image\\) includes graphics/draw/draw_target.h")
    # The game's data: the generator's map checks and reader, and the committed
    # files equal to a fresh run; the end-to-end test's reading of the log.
    add_test(NAME ${KORVO_TEST_PREFIX}game_data
             COMMAND /usr/bin/python3 -B ${PROJECT_SOURCE_DIR}/tools/make_game_data/game_data_test.py)
    add_test(NAME ${KORVO_TEST_PREFIX}velmora_play_memory_dump
             COMMAND /usr/bin/python3 -B ${PROJECT_SOURCE_DIR}/tests/game/end_to_end/memory_dump_test.py)
    korvo_add_harness_rule_tests()
  endif()

  if(WIN32 AND TARGET VelmoraLogged)
    # Velmora played end to end under Wine with mouse clicks, checked by
    # screenshots; the logged build's memory dump at exit must list no block.
    set(play_dir ${CMAKE_BINARY_DIR}/testrun/velmora_play)
    korvo_add_wine_runner_test(${KORVO_TEST_PREFIX}velmora_play
      COMMAND /usr/bin/python3 -B ${PROJECT_SOURCE_DIR}/tests/game/end_to_end/play_velmora.py
              --exe $<TARGET_FILE:VelmoraLogged> --data ${PROJECT_SOURCE_DIR}/game/data
              --work ${play_dir}/run --shots ${play_dir}/shots
              --tools ${PROJECT_SOURCE_DIR}/tools --memory-log
      # The logged build's shut-down writes its memory dump to its log.
      END_LINE "[0-9]+:Alloc memory dump" END_LINE_FILE ${play_dir}/run/Log.txt)
  endif()

  if(WIN32 AND TARGET present_probe)
    # What the window shows after a read-back, repeated presents, a repaint and a
    # partial present, read from the X server on both roads.
    foreach(road direct3d software)
      korvo_add_wine_runner_test(${KORVO_TEST_PREFIX}presented_picture_${road}
        COMMAND /usr/bin/python3 -B ${PROJECT_SOURCE_DIR}/tests/graphics/window_picture/check_presented_picture.py
                --tools ${PROJECT_SOURCE_DIR}/tools --work ${CMAKE_BINARY_DIR}/testrun/presented_picture_${road}
                $<TARGET_FILE:present_probe> ${road}
        END_LINE "shut down 0" LIMIT 600)
    endforeach()
  endif()

  if(WIN32)
    # The shipped game is the 32-bit build's; a 64-bit test build checks that one.
    set(KORVO_PRODUCT_BUILD_DIR "" CACHE PATH "Build holding the shipped 32-bit Velmora.exe")
    if(KORVO_PRODUCT_BUILD_DIR AND TARGET Velmora)
      add_test(NAME ${KORVO_TEST_PREFIX}velmora_imports
               COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check_imports.sh ${KORVO_PRODUCT_BUILD_DIR}/Velmora.exe)
    elseif(TARGET Velmora)
      add_test(NAME ${KORVO_TEST_PREFIX}velmora_imports
               COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check_imports.sh $<TARGET_FILE:Velmora>)
    endif()
    # Where this build assembled its own shader images and a build of the other
    # architecture assembled them too, both must give the same bytes: the product
    # of a machine that runs no 32-bit code takes the 64-bit build's.
    set(KORVO_OTHER_SHADER_IMAGES "" CACHE FILEPATH "Shader images source generated by the other Windows architecture")
    if(KORVO_OTHER_SHADER_IMAGES AND NOT KORVO_SHADER_BUILD_PROGRAM)
      add_test(NAME ${KORVO_TEST_PREFIX}shader_images_same_on_both_architectures
               COMMAND ${CMAKE_COMMAND} -E compare_files
                       ${CMAKE_BINARY_DIR}/generated/builtin_shader_images.cpp ${KORVO_OTHER_SHADER_IMAGES})
    endif()
    # The host builds' tests join this run, so one CTest summary covers them all.
    set(KORVO_HOST_BUILD_DIR "" CACHE PATH "Host build whose tests join this build's CTest run")
    set(KORVO_TSAN_BUILD_DIR "" CACHE PATH "Thread-checking host build whose tests join this build's CTest run")
    set(include_text "")
    foreach(dir ${KORVO_HOST_BUILD_DIR} ${KORVO_TSAN_BUILD_DIR})
      string(APPEND include_text "if(EXISTS \"${dir}/CTestTestfile.cmake\")\n"
                                 "  include(\"${dir}/CTestTestfile.cmake\")\n"
                                 "endif()\n")
    endforeach()
    if(include_text)
      file(WRITE ${CMAKE_BINARY_DIR}/include_host_tests.cmake "${include_text}")
      set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES
                   ${CMAKE_BINARY_DIR}/include_host_tests.cmake)
    endif()
  endif()
endfunction()

# A program on korvo.h alone, compiled and linked as a program outside the tree
# is (README, "What a program calls"): the library's archive, the third-party
# archives and the system libraries, nothing of the build's own settings. It runs
# on both roads; a driver presses a key on its window.
function(korvo_add_outside_program_test)
  set(name korvo_only_program)
  set(program ${KORVO_TEST_OUTPUT_DIR}/${name}.exe)
  set(source ${PROJECT_SOURCE_DIR}/tests/outside_program/korvo_only_program.cpp)
  add_custom_command(OUTPUT ${program}
                     COMMAND ${CMAKE_CXX_COMPILER} -std=c++20 -fexec-charset=CP932 -O2 -Wall -Wextra
                             -I${PROJECT_SOURCE_DIR} ${source} -o ${program} $<TARGET_FILE:korvo> -L${KORVO_DEPS_PREFIX}/lib
                             -lpng16 -ljpeg -lvorbisfile -lvorbis -ltheora -logg
                             -lBulletDynamics -lBulletCollision -lLinearMath -lz
                             -lkernel32 -luser32 -lgdi32 -lshell32 -luuid -static -static-libgcc -static-libstdc++
                     DEPENDS ${source} korvo ${PROJECT_SOURCE_DIR}/korvo.h VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${program})

  # Its Theora movie: 40 frames of known colours from the theoramovie tool, built
  # for Windows here and run under Wine.
  add_executable(theoramovie ${PROJECT_SOURCE_DIR}/tools/theoramovie/main.cpp
                 ${PROJECT_SOURCE_DIR}/tools/theoramovie/theora_movie_writer.cpp)
  korvo_target_settings(theoramovie)
  target_link_libraries(theoramovie PRIVATE korvo)
  set(fixtures ${CMAKE_BINARY_DIR}/testrun/movie_fixtures)
  add_custom_command(OUTPUT ${fixtures}/frame_colours.ogv
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${fixtures}
                     COMMAND bash ${PROJECT_SOURCE_DIR}/tools/wine_exec.sh --output ${fixtures}/frame_colours.ogv
                             $<TARGET_FILE:theoramovie> ${fixtures}/frame_colours.ogv 40
                     DEPENDS theoramovie VERBATIM)
  add_custom_target(outside_program_fixtures DEPENDS ${fixtures}/frame_colours.ogv)
  add_dependencies(${name} outside_program_fixtures movie_fixtures)
  add_test(NAME ${KORVO_TEST_PREFIX}${name}_imports COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check_imports.sh ${program})

  foreach(road direct3d software)
    korvo_add_wine_runner_test(${KORVO_TEST_PREFIX}${name}_${road}
      COMMAND /usr/bin/python3 -B ${PROJECT_SOURCE_DIR}/tests/outside_program/run_pressing_keys.py
              --tools ${PROJECT_SOURCE_DIR}/tools --work ${CMAKE_BINARY_DIR}/testrun/${name}_${road}
              --title KorvoOnlyProgram ${program} ${road}
              ${fixtures}/frame_colours.ogv ${fixtures}/scrolling_bars.avi
      # Its summary, written at its end.
      END_LINE "[0-9]+ passed, [0-9]+ failed")
  endforeach()
endfunction()

function(korvo_add_tools)
  file(GLOB tool_dirs LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/tools/*)
  foreach(tdir ${tool_dirs})
    if(IS_DIRECTORY ${tdir})
      file(GLOB tsources CONFIGURE_DEPENDS ${tdir}/*.cpp)
      get_filename_component(tname ${tdir} NAME)
      # shader_build is a Windows program that the Windows build runs under Wine;
      # exit_code_relay is one that tools/exit_code_relay.sh builds for wine_exec.sh.
      if(tsources AND NOT tname MATCHES "^(shader_build|exit_code_relay)$")
        add_executable(${tname} ${tsources})
        korvo_target_settings(${tname})
        target_link_libraries(${tname} PRIVATE korvo)
        set_target_properties(${tname} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
      endif()
    endif()
  endforeach()
endfunction()

function(korvo_add_benchmarks)
  find_package(PkgConfig)
  if(PkgConfig_FOUND)
    pkg_check_modules(KORVO_SDL2 IMPORTED_TARGET sdl2)
    pkg_check_modules(KORVO_PIXMAN IMPORTED_TARGET pixman-1)
  endif()
  file(GLOB support CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/support/*.cpp)
  file(GLOB benches CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*.cpp)
  foreach(bench ${benches})
    get_filename_component(bname ${bench} NAME_WE)
    add_executable(bench_${bname} ${bench} ${support})
    korvo_target_settings(bench_${bname})
    target_link_libraries(bench_${bname} PRIVATE korvo)
    if(KORVO_SDL2_FOUND)
      target_link_libraries(bench_${bname} PRIVATE PkgConfig::KORVO_SDL2)
      target_compile_definitions(bench_${bname} PRIVATE KORVO_HAVE_SDL2=1)
    endif()
    if(KORVO_PIXMAN_FOUND)
      target_link_libraries(bench_${bname} PRIVATE PkgConfig::KORVO_PIXMAN)
      target_compile_definitions(bench_${bname} PRIVATE KORVO_HAVE_PIXMAN=1)
    endif()
    if(bname STREQUAL "graphics_frame")
      # Counts the device's draw calls through the tests' recording stand-in of the device.
      target_sources(bench_${bname} PRIVATE ${PROJECT_SOURCE_DIR}/tests/graphics/recording_device.cpp)
    endif()
    if(bname STREQUAL "ogg_vorbis_decode")
      # Writes its Ogg file with the sound tests' encoder.
      target_sources(bench_${bname} PRIVATE ${PROJECT_SOURCE_DIR}/tests/sound/sound_test_files.cpp)
    endif()
    if(bname STREQUAL "kva_streams")
      # Builds its archives with the kvapack tool's writer and LZ encoder.
      target_sources(bench_${bname} PRIVATE ${PROJECT_SOURCE_DIR}/tools/kvapack/kva_writer.cpp
                                            ${PROJECT_SOURCE_DIR}/tools/kvapack/kva_lz_encode.cpp)
    endif()
    if(bname MATCHES "^movie_")
      target_sources(bench_${bname} PRIVATE ${PROJECT_SOURCE_DIR}/tools/theoramovie/theora_movie_writer.cpp)
    endif()
    set_target_properties(bench_${bname} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  endforeach()
endfunction()

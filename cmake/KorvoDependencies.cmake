# Third-party libraries. The Windows build takes the static libraries that
# tools/build_deps.sh cross-built from Debian's source packages (KORVO_DEPS_PREFIX);
# the host build takes Debian's -dev packages, but for libvorbis, which it takes
# from the same fixed source, built for the host by tools/build_deps.sh
# (KORVO_HOST_DEPS_PREFIX; asked from the script when not given).
add_library(korvo_third_party INTERFACE)

if(WIN32)
  set(KORVO_DEPS_PREFIX "" CACHE PATH "Prefix of the cross-built third-party libraries")
  if(NOT EXISTS "${KORVO_DEPS_PREFIX}/lib")
    message(FATAL_ERROR "KORVO_DEPS_PREFIX (${KORVO_DEPS_PREFIX}) holds no libraries: run tools/setup.sh")
  endif()
  target_include_directories(korvo_third_party SYSTEM INTERFACE
    ${KORVO_DEPS_PREFIX}/include ${KORVO_DEPS_PREFIX}/include/bullet)
  # Static link order: users before what they use.
  foreach(lib png16 jpeg vorbisfile vorbisenc vorbis theora ogg
              BulletDynamics BulletCollision LinearMath z)
    find_library(KORVO_LIB_${lib} NAMES ${lib} lib${lib}.a PATHS ${KORVO_DEPS_PREFIX}/lib
                 NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    target_link_libraries(korvo_third_party INTERFACE ${KORVO_LIB_${lib}})
  endforeach()
else()
  find_package(PNG REQUIRED)
  find_package(JPEG REQUIRED)
  find_package(ZLIB REQUIRED)
  find_package(PkgConfig REQUIRED)
  # vorbisenc and theoraenc are for the tests, tools and benchmarks, which write
  # their own Ogg files.
  set(KORVO_HOST_DEPS_PREFIX "" CACHE PATH "Prefix of the host build of the fixed libvorbis")
  set(host_deps "${KORVO_HOST_DEPS_PREFIX}")
  if(NOT host_deps)
    execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/tools/build_deps.sh --prefix host
                    OUTPUT_VARIABLE host_deps OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  if(NOT EXISTS "${host_deps}/.complete")
    message(FATAL_ERROR "the host build of libvorbis (${host_deps}) is missing: run tools/build_deps.sh host (tools/setup.sh and tools/build.sh run it)")
  endif()
  target_include_directories(korvo_third_party SYSTEM BEFORE INTERFACE ${host_deps}/include)
  foreach(lib vorbisfile vorbisenc vorbis)
    find_library(KORVO_HOST_LIB_${lib} NAMES lib${lib}.a PATHS ${host_deps}/lib ${host_deps}/lib64
                 NO_DEFAULT_PATH NO_CACHE REQUIRED)
    target_link_libraries(korvo_third_party INTERFACE ${KORVO_HOST_LIB_${lib}})
  endforeach()
  pkg_check_modules(KORVO_OGG REQUIRED IMPORTED_TARGET theoradec theoraenc theora ogg)
  target_link_libraries(korvo_third_party INTERFACE PNG::PNG JPEG::JPEG ZLIB::ZLIB PkgConfig::KORVO_OGG m)
  # Bullet (single precision, as the Windows build's): only the three libraries the models need.
  find_path(KORVO_BULLET_INCLUDE btBulletDynamicsCommon.h PATH_SUFFIXES bullet REQUIRED)
  target_include_directories(korvo_third_party SYSTEM INTERFACE ${KORVO_BULLET_INCLUDE})
  foreach(lib BulletDynamics BulletCollision LinearMath)
    find_library(KORVO_LIB_${lib} NAMES ${lib} REQUIRED)
    target_link_libraries(korvo_third_party INTERFACE ${KORVO_LIB_${lib}})
  endforeach()
endif()

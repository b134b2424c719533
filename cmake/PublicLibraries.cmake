# The libraries and headers a host takes in: KelvoPhotos::store (platform, store, bulk
# operations) and KelvoPhotos::editor, built from the objects of the internal libraries, and
# static or shared as BUILD_SHARED_LIBS says.
include(GNUInstallDirs)

# Host-facing headers, staged flat under include/kelvophotos/ whatever the source layout:
# "source header=installed name". Includes between them are rewritten to the flat names.
set(KELVO_PUBLIC_HEADERS
    store/CPicture.h=CPicture.h
    platform/api.h=api.h
    platform/db/database.h=database.h
    platform/db/connection.h=connection.h
    platform/db/recordset.h=recordset.h
    platform/db/field.h=field.h
    platform/error.h=error.h
    platform/bytes.h=bytes.h
    platform/db/variant.h=variant.h
    platform/pictures/picture.h=picture.h
    platform/pictures/picture_service.h=picture_service.h
    platform/ui/interaction.h=interaction.h
    platform/files/files.h=files.h
    editor/qt/photo_editor_launcher.h=editor.h)
set(KELVO_STAGED_INCLUDE ${PROJECT_BINARY_DIR}/include)
set(staged ${KELVO_STAGED_INCLUDE}/kelvophotos)
foreach(pair IN LISTS KELVO_PUBLIC_HEADERS)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  file(READ ${PROJECT_SOURCE_DIR}/src/${from} text)
  foreach(other IN LISTS KELVO_PUBLIC_HEADERS)
    string(REPLACE "=" ";" other "${other}")
    list(GET other 0 other_from)
    list(GET other 1 other_to)
    string(REPLACE "#include \"${other_from}\"" "#include \"${other_to}\"" text "${text}")
  endforeach()
  if(text MATCHES "#include \"[a-z_]+/[^\"]*\"")
    message(FATAL_ERROR "public header src/${from} includes a private one: ${CMAKE_MATCH_0}")
  endif()
  file(CONFIGURE OUTPUT ${staged}/${to} CONTENT "${text}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${from})
  list(APPEND KELVO_STAGED_HEADERS ${staged}/${to})
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${staged}/version.h @ONLY)
list(APPEND KELVO_STAGED_HEADERS ${staged}/version.h ${PROJECT_SOURCE_DIR}/include/kelvophotos/kelvophotos.h)

# One library, libkelvophotos, holds platform, store, bulk operations, editor and the C
# interface: the editor reaches platform internals that a shared library boundary would have
# to export. Shared, it exports what the headers mark KELVO_API and the kp_ functions, and
# nothing of the libraries it carries; -z defs catches a dependency left out of the link.
get_target_property(platform_targets kelvo_platform INTERFACE_LINK_LIBRARIES)
set(platform_objects)
foreach(target IN LISTS platform_targets)
  list(APPEND platform_objects $<TARGET_OBJECTS:${target}>)
endforeach()
add_library(kelvophotos_lib ${platform_objects} $<TARGET_OBJECTS:kelvo_store>
  $<TARGET_OBJECTS:kelvo_editor_logic> $<TARGET_OBJECTS:kelvo_editor>
  ${PROJECT_SOURCE_DIR}/src/capi/kelvophotos_c.cpp)
set_target_properties(kelvophotos_lib PROPERTIES EXPORT_NAME store OUTPUT_NAME kelvophotos
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_compile_features(kelvophotos_lib PUBLIC cxx_std_20)
target_include_directories(kelvophotos_lib PUBLIC
  $<BUILD_INTERFACE:${KELVO_STAGED_INCLUDE}> $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_include_directories(kelvophotos_lib PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kelvophotos_lib PRIVATE kelvo_platform_deps)
if(BUILD_SHARED_LIBS)
  target_link_options(kelvophotos_lib PRIVATE "LINKER:--exclude-libs,ALL" "LINKER:-z,defs")
endif()

# The names hosts link: the editor and the C interface live in the same library.
add_library(kelvophotos_editor INTERFACE)
add_library(kelvophotos_c INTERFACE)
foreach(name store editor c)
  set(target kelvophotos_${name})
  if(name STREQUAL "store")
    set(target kelvophotos_lib)
  else()
    target_link_libraries(${target} INTERFACE kelvophotos_lib)
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  endif()
  add_library(KelvoPhotos::${name} ALIAS ${target})
endforeach()

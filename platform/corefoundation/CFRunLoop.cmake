# The run loop's part of platform_corefoundation (the reference-counted CF
# objects add their own sources to the same library).
target_sources(platform_corefoundation PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CFRunLoop.cpp)
target_link_libraries(platform_corefoundation PUBLIC PkgConfig::GLIB)

# The join writer: consecutive recordings into one movie per camera and one data file.
target_sources(kirvano-core PRIVATE
    ${CMAKE_SOURCE_DIR}/container/JoinBoxWriter.cpp
    ${CMAKE_SOURCE_DIR}/container/JoinDataFile.cpp
    ${CMAKE_SOURCE_DIR}/container/JoinInput.cpp
    ${CMAKE_SOURCE_DIR}/container/JoinJob.cpp
    ${CMAKE_SOURCE_DIR}/container/JoinMovie.cpp
    ${CMAKE_SOURCE_DIR}/container/JoinOutputFile.cpp
    ${CMAKE_SOURCE_DIR}/container/JoinTables.cpp)

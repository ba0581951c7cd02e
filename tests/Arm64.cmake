# The unit tests on 64-bit ARM Linux, one program per test under qemu's
# user-mode emulator, and the tests that cannot mean anything there. qemu
# runs the program's own instructions, the processor's AES, SHA-1, CRC-32
# and carry-less multiply among them; what it cannot give is a second look
# at the kernel, whose calls it translates one by one.
include(${CMAKE_CURRENT_LIST_DIR}/WholeProgramTests.cmake)

# Tests excluded by name, program by program, each with its reason.
set(DOZUV2_ARM64_EXCLUDED_TESTS_ThreadManagerTest
    # Starts programs with vfork, which qemu's user mode runs as a plain fork
    # of the emulator; the test's process-id checks then see qemu's process.
    ThreadManagerTest.ProcessIdAndSystemCall)

# qemu's processor (its "max" model) has every instruction path; the processor
# test checks that each is found, so that the tests comparing the paths run
# the ARM ones.
set(DOZUV2_ARM64_TEST_ENVIRONMENT_CpuTest "DOZUV2_EXPECTED_CPU_FEATURES=aes sha clmul crc32")

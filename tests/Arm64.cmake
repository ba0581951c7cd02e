# The unit tests on 64-bit ARM Linux, one program per test under qemu's
# user-mode emulator, and the tests that cannot mean anything there. qemu
# runs the program's own instructions, the processor's AES, SHA-1, CRC-32
# and carry-less multiply among them; what it cannot give is a second look
# at the kernel, whose calls it translates one by one.
include(${CMAKE_CURRENT_LIST_DIR}/WholeProgramTests.cmake)

# Tests excluded by name, program by program, each with its reason.
set(DOZUV2_ARM64_EXCLUDED_TESTS_ThreadManagerTest
    # Expects starting a missing program to fail: posix_spawn learns of the
    # failed exec through the memory its vfork child shares with it, and
    # qemu's user mode runs that child as a plain fork, so the start succeeds.
    ThreadManagerTest.ProcessIdAndSystemCall)
set(DOZUV2_ARM64_EXCLUDED_TESTS_LegacyMutexTest
    # Waits for the kernel to report a mutex whose owner ended; qemu does not
    # pass on the thread's robust-mutex list (set_robust_list), so no report
    # comes and the waiter waits for ever.
    LegacyMutexTest.AThreadThatEndsOwningTheMutexAbandonsIt)
set(DOZUV2_ARM64_EXCLUDED_TESTS_CharsetTest
    # Compares every GBK code with iconv, whose GBK module (gconv) Debian's
    # arm64 cross C library does not ship; the code pages iconv has built in
    # are still compared.
    CharsetTest.EveryGbkCodeBothWaysBesideIconv)
# These need a fresh process (the first packet manager made, the library's
# own version registration alone), which a forked death test is not.
set(DOZUV2_ARM64_EXCLUDED_TESTS_PacketManagerTest PacketManagerFreshTest.*)
set(DOZUV2_ARM64_EXCLUDED_TESTS_LegacyPacketTest LegacyPacketTest.ConfigPoolsPacketDataBeforeTheFirstPacket)
set(DOZUV2_ARM64_EXCLUDED_TESTS_VersionTest VersionTest.CheckResultEndsTheProcessAfterItsReport)

# qemu's processor (its "max" model) has every instruction path; the processor
# test checks that each is found, so that the tests comparing the paths run
# the ARM ones.
set(DOZUV2_ARM64_TEST_ENVIRONMENT_CpuTest "DOZUV2_EXPECTED_CPU_FEATURES=aes sha clmul crc32")

# The program cannot re-execute itself under the emulator; death tests fork.
add_compile_definitions(DOZUV2_FORKED_DEATH_TESTS)

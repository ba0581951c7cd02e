// An allocator that fails on request, for the allocation-failure sweep.
//
// The program that links FailingAllocator.cpp replaces the C library's
// malloc, calloc, realloc, the aligned allocations and every form of
// operator new and delete for the whole process: the library, the C and C++
// runtimes and the program itself. Until arm() is called everything is passed
// on to the C library's own allocator; from then on every allocation is
// counted, on every thread, and the one whose number was given fails the way
// its form fails (a null result, ENOMEM, or std::bad_alloc from the throwing
// operator new). Only that one fails; the ones after it succeed again, so a
// run shows what one failure at that point does. Armed to persist, every
// allocation from that one on fails, as when memory has run out for good.
//
// When the failure is made, "fault: allocation N failed (S bytes)" and the
// stack of the failing call are written straight to the standard error, so
// that whoever reads the run's end knows where it broke.
#ifndef DOZUV2_FAULTS_FAILINGALLOCATOR_H
#define DOZUV2_FAULTS_FAILINGALLOCATOR_H

namespace Faults {

// Starts counting; the failAt-th allocation from now fails (0: none does),
// and with persist every one after it too.
void arm(unsigned long long failAt, bool persist);

// Allocations counted since arm().
unsigned long long allocationCount();

// Whether the failure has been made.
bool failureMade();

} // namespace Faults

#endif

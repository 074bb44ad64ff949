# Read by ctest after the discovered tests: the tests that take more than a few seconds get
# the label "slow" (ctest -LE slow leaves them out while iterating).
foreach(_slow
        HostileCli.CtrlCBeforeOrAfterThePutIsACancel
        HostileCli.SlotsFailWhenNoSlotCouldBeAskedAndNeverHang
        HostileCli.AnUnansweredAddressOrAPipeDoesNotHoldACommand
        CliHistory.ConcurrentSendsLeaveOneRecordEachAndHistoryPrintsThem)
    set_tests_properties(${_slow} PROPERTIES LABELS slow)
endforeach()

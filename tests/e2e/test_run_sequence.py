"""What a run leaves behind when it stops early: exit code, test logs, trace points,
and the console, which stays silent."""

from winebed import ERROR_LOG, OK_LOG, SETUP_KEY, UIDS_KEY, RegValue, log_lines

ANOTHER_INSTANCE = b"Hay otra instancia de Zentrak.exe ejecutandose."
SERVICE_TIMEOUT = b"Agotado el tiempo de espera del servicio."
NO_SDK = b"Error obteniendo instancia de la TESSEL."


def test_second_start_while_a_run_is_active_stops_at_once(bed):
    bed.service_stop()  # the first run waits for the service and holds the lock meanwhile
    # A time limit far beyond the second run's: on a loaded machine a short one ended the
    # first run before the second reached the lock.
    first = bed.start(["/TestMode"], timeout=240)
    assert first.wait_for_trace("run", 57), "first run never started waiting"

    second = bed.run(["/TestMode"])
    first_still_running = first.process.poll() is None
    first.kill_program()
    first.wait(timeout=30)

    assert first_still_running, "the first run ended before the second: the lock was free"
    assert second.exit_code == -1
    # Measured from the program's own start, so that a slow machine's Wine start-up does not
    # count; waiting for the lock would last as long as the first run.
    assert 0 < second.process_seconds < 5
    assert second.ok_log is None
    assert log_lines(second.error_log) == [ANOTHER_INSTANCE]
    assert 11 in second.trace_numbers()
    assert 59 not in second.trace_numbers()  # it never checked the service


def test_missing_host_service_stops_the_run_after_one_check(bed):
    bed.service_remove()
    result = bed.run(["/TestMode"])
    assert result.exit_code == -1
    assert 0 < result.process_seconds < 9  # one sleep of the wait would be 10 s
    assert log_lines(result.error_log) == [SERVICE_TIMEOUT]
    assert result.ok_log is None
    numbers = result.trace_numbers()
    assert numbers.count(59) == 1
    assert 58 in numbers and 12 in numbers
    assert [t["args"] for t in result.traces_of("service", 15)] == [[1060]]
    assert 26 not in numbers


def test_without_the_setup_path_the_sdk_cannot_be_reached(bed):
    result = bed.run(["/TestMode"])
    assert result.exit_code == -1
    assert result.ok_log is None
    assert log_lines(result.error_log) == [NO_SDK]
    numbers = result.trace_numbers()
    assert numbers[0] == 10
    assert 67 in numbers and 13 in numbers
    assert [t["args"] for t in result.traces_of("service", 13)] == [[4]]


def test_test_switch_in_any_case_or_as_the_program_path_selects_test_mode(bed):
    for args, argv0 in ((["/TESTMODE"], None), (["/testmodeX"], None), ([], "/TestMode")):
        result = bed.run(args, argv0=argv0)
        assert result.exit_code == -1
        assert log_lines(result.error_log) == [NO_SDK], (args, argv0)


def test_outside_test_mode_no_log_is_touched_and_the_console_stays_silent(bed):
    workdir = bed.new_workdir()
    (workdir / OK_LOG).write_bytes(b"earlier ok")
    (workdir / ERROR_LOG).write_bytes(b"earlier error")
    result = bed.run(["/TestMod", "/UNINSTALL"], workdir=workdir)
    assert result.exit_code == -1
    assert result.ok_log == b"earlier ok"
    assert result.error_log == b"earlier error"
    assert result.stdout == b"" and result.stderr == b""


def test_test_mode_deletes_the_logs_of_an_earlier_run(bed):
    workdir = bed.new_workdir()
    (workdir / OK_LOG).write_bytes(b"earlier ok")
    result = bed.run(["/TestMode"], workdir=workdir)
    assert result.ok_log is None
    assert log_lines(result.error_log) == [NO_SDK]


def test_arguments_of_any_length_and_content_end_the_run_normally(bed):
    odd = ["\u4e00\u0416\U0001F600", "/" * 20000, '"', "/UNINSTALL\u00e9", "/TestMode" + "x" * 5000]
    result = bed.run(odd)
    assert result.exit_code == -1
    assert log_lines(result.error_log) == [NO_SDK]
    assert result.stdout == b"" and result.stderr == b""


def test_start_up_values_of_the_wrong_type_or_too_long_are_not_a_fault(bed):
    bed.registry({
        SETUP_KEY: {"DumpJSONs": "1", "DumpJSONsPath": "x" * 300, "Path": 7},
        UIDS_KEY: {"InstUID": RegValue(1, ("y" * 260).encode("utf-16-le"))},  # no terminator
    })
    result = bed.run(["/TestMode"])
    assert result.exit_code == -1
    assert log_lines(result.error_log) == [NO_SDK]

"""Device access on an installed system: the udev rule of libvexorapi1 on the
base's hidraw node, the receiver's serial port in the group dialout, and what
brimora-doctor tells a user outside and inside that group."""

import grp
import os
import subprocess
import unittest

import lab

BASE_HID_ID = "0003:00001881:00000150"


class AccessTest(unittest.TestCase):
    def test_the_udev_rule_tags_the_base_for_the_seat_user(self):
        lab.plug("base")
        self.addCleanup(lab.unplug, "base")
        node = lab.wait_until(lambda: lab.hidraw_nodes(BASE_HID_ID), what="the base's hidraw node")[0]
        lab.wait_for_node(node)
        info = subprocess.run(["udevadm", "info", "--name", node], capture_output=True, text=True).stdout
        print(info)
        tags = lab.udev_properties(node).get("CURRENT_TAGS", "")
        self.assertIn(":uaccess:", tags, "the rule 70-libvexorapi1.rules did not tag %s" % node)
        # It comes with the library that every program driving a base links.
        owner = subprocess.run(["dpkg", "-S", "/lib/udev/rules.d/70-libvexorapi1.rules"],
                               capture_output=True, text=True).stdout
        self.assertTrue(owner.startswith("libvexorapi1:"), owner)
        # Without the tag's seat access, the node is root's alone: the rule,
        # not a loose mode, is what lets the desktop user open it.
        self.assertEqual(os.stat(node).st_mode & 0o777, 0o600)

    def test_the_receiver_port_belongs_to_dialout_and_the_doctor_says_so(self):
        lab.plug("receiver")
        self.addCleanup(lab.unplug, "receiver")
        lab.wait_for_node("/dev/ttyACM0")
        self.assertEqual(lab.udev_properties("/dev/ttyACM0").get("ID_VENDOR"), "FTDI")
        status = os.stat("/dev/ttyACM0")
        self.assertEqual(grp.getgrgid(status.st_gid).gr_name, "dialout")
        self.assertEqual(status.st_mode & 0o777, 0o660)

        outside = self.doctor("outsider")
        self.assertEqual(outside.returncode, 1, outside.stdout)
        self.assertIn("PROBLEM: /dev/ttyACM0 cannot be opened: Permission denied", outside.stdout)
        self.assertIn('Fix: add the user to the group "dialout"', outside.stdout)
        inside = self.doctor("lab")
        self.assertIn("OK: lectern would use /dev/ttyACM0; this user can open it.", inside.stdout)

    def doctor(self, user):
        result = subprocess.run(["/usr/bin/brimora-doctor"], capture_output=True, text=True,
                                timeout=lab.EVENTUALLY, **lab.user_process_options(user))
        print("$ brimora-doctor   (as %s, exit status %d)\n%s%s" % (user, result.returncode, result.stdout,
                                                                   result.stderr))
        return result


if __name__ == "__main__":
    unittest.main()

ENCODING UUENCODE
ý
GETBIN þ
END
# Example request template shipped with Tolvar: the robot stops reading at END. Edit it to suit your robot.

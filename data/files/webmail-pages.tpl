SEND þ
QUIT
# Example request template shipped with Tolvar: the robot stops reading at QUIT. Edit it to suit your robot.

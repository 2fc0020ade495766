import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;
import flash.ui.Keyboard;

/** Bounce the ball with the paddle (mouse or arrows) and knock out the bricks. */
class Bricks extends Sprite {
	var bricks:Array<Sprite> = [];
	var paddle = new Sprite();
	var ball = new Sprite();
	var vx = 0.0;
	var vy = 0.0;
	var onPaddle = true;
	var wait = 45;
	var score:flash.text.TextField;
	var points = 0;
	var mouseSteer = false;

	public function new() {
		super();
		Kit.sky(graphics, 0x2B2D6E, 0x5A3E8C);
		paddle.graphics.beginFill(0xFFB400);
		paddle.graphics.drawRoundRect(-50, -8, 100, 16, 16, 16);
		paddle.graphics.endFill();
		paddle.x = Kit.W / 2;
		paddle.y = Kit.H - 30;
		addChild(paddle);
		ball.graphics.beginFill(0xFFFFFF);
		ball.graphics.drawCircle(0, 0, 9);
		ball.graphics.endFill();
		addChild(ball);
		score = Kit.scoreBox(this, Kit.W - 125, 8, 0xFF7AC6);
		wall();
		addEventListener(Event.ENTER_FRAME, tick);
		addEventListener(Event.ADDED_TO_STAGE, function(_) {
			stage.addEventListener(MouseEvent.MOUSE_MOVE, function(_) mouseSteer = true);
			stage.addEventListener(MouseEvent.MOUSE_DOWN, function(_) launch());
		});
	}

	function wall() {
		for (r in 0...4)
			for (c in 0...8) {
				var b = new Sprite();
				b.graphics.beginFill(Kit.colours[(r * 3 + c) % Kit.colours.length]);
				b.graphics.drawRoundRect(0, 0, 58, 22, 10, 10);
				b.graphics.endFill();
				b.graphics.beginFill(0xFFFFFF, 0.3);
				b.graphics.drawRoundRect(4, 3, 50, 7, 6, 6);
				b.graphics.endFill();
				b.x = 22 + c * 64;
				b.y = 60 + r * 28;
				addChild(b);
				bricks.push(b);
			}
	}

	function launch() {
		if (!onPaddle)
			return;
		onPaddle = false;
		vx = Kit.rand(2) == 0 ? -3.5 : 3.5;
		vy = -5;
	}

	function tick(_) {
		if (Kit.isDown(Keyboard.LEFT)) { paddle.x -= 9; mouseSteer = false; }
		if (Kit.isDown(Keyboard.RIGHT)) { paddle.x += 9; mouseSteer = false; }
		if (Kit.isDown(Keyboard.SPACE) || Kit.isDown(Keyboard.UP)) launch();
		if (mouseSteer)
			paddle.x += (mouseX - paddle.x) * 0.4;
		paddle.x = Math.max(50, Math.min(Kit.W - 50, paddle.x));
		if (onPaddle) {
			ball.x = paddle.x;
			ball.y = paddle.y - 18;
			// the ball goes by itself after a moment
			if (--wait <= 0)
				launch();
			return;
		}
		ball.x += vx;
		ball.y += vy;
		if (ball.x < 9 || ball.x > Kit.W - 9) {
			vx = -vx;
			ball.x = Math.max(9, Math.min(Kit.W - 9, ball.x));
		}
		if (ball.y < 9) {
			vy = Math.abs(vy);
		}
		if (vy > 0 && ball.y > paddle.y - 17 && ball.y < paddle.y + 5 && Math.abs(ball.x - paddle.x) < 58) {
			vy = -Math.abs(vy);
			vx = (ball.x - paddle.x) / 9;
		}
		if (ball.y > Kit.H + 20) {
			onPaddle = true;
			wait = 60;
		}
		for (b in bricks.copy()) {
			if (ball.x > b.x - 9 && ball.x < b.x + 67 && ball.y > b.y - 9 && ball.y < b.y + 31) {
				bricks.remove(b);
				removeChild(b);
				vy = -vy;
				points++;
				score.text = Std.string(points);
				Kit.sparkle(this, b.x + 29, b.y + 11, 0xFFE45C, 6);
				break;
			}
		}
		if (bricks.length == 0) {
			wall();
			onPaddle = true;
			wait = 60;
		}
	}

	static function main() {
		Kit.start(new Bricks());
	}
}
